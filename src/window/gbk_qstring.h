// The window's edge between the core's GBK texts and Qt's strings.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quorvex {

QString from_gbk(std::string_view gbk);
std::string to_gbk(const QString& text);

}  // namespace quorvex

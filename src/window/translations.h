// Qt's own texts (dialog buttons, the file dialogs) in Chinese, like the rest of the window.
#pragma once

class QCoreApplication;

namespace quorvex {

// Loads Qt's zh_CN translations from Qt's translation folder or from "translations" beside the
// program (where a self-contained copy keeps them); false when none could be loaded, and the
// dialogs then speak Qt's English.
bool install_chinese_translations(QCoreApplication& app);

}  // namespace quorvex

// For the Windows build's tests under Wine: a stand-in runs natively beside them, in the stand-in
// program (stand_in_main.cpp), and a connection to its control port is one stand-in of its own,
// made by the connection's first line and asked over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recorded_request.h"

namespace quorvex::test {

class RemoteStandIn {
 public:
  // Connects and sends `first`, the line that makes the stand-in; its answer is made().
  explicit RemoteStandIn(const std::string& first);
  ~RemoteStandIn();
  RemoteStandIn(const RemoteStandIn&) = delete;
  RemoteStandIn& operator=(const RemoteStandIn&) = delete;

  const std::string& made() const { return made_; }
  // One line asked, one line answered.
  std::string ask(const std::string& line) const;
  // Every request the stand-in has recorded, in order.
  std::vector<RecordedRequest> requests() const;

 private:
  std::string read_line() const;
  std::string read_bytes(std::size_t n) const;
  void receive_more() const;

  std::uintptr_t control_;
  mutable std::string pending_;
  std::string made_;
};

}  // namespace quorvex::test

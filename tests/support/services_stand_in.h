// A stand-in for the other share services' APIs (Quark, Aliyun, 115, 123pan, Tianyi) and Lanzou's
// pages, at their real host names through connect-to entries and the test authority. The share's
// ID names the state it answers with:
//   Quark    public, needcode (41008 without a code; the code "good1" opens it, another is
//            41007), empty, gone<41004…41019>, throttle (41021), http429, nojson
//   Aliyun   public, needcode (has_pwd), empty, notfound, cancelled, forbidden, expired,
//            paramflow, http429, other
//   115      public, needcode (access code "good1"), expired (share_state 7), cancelled,
//            missing, busy
//   123pan   public, needcode, missing ("分享页面不存在"), expired, http403
//   Tianyi   public, needcode, notfound, expiredshare, audit, waiting, bare (0 without shareId)
//   Lanzou   public, needcode, cancelled, missing, expired, other, offsite (a redirect to
//            example.com), mirror (a redirect to the same share on abc.lanzn.com)
// An ID may end in "Q" and digits, which it ignores: "publicQ17" is a public share of its own.
#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "recorded_request.h"
#ifdef _WIN32
#include "remote_stand_in.h"
#else
#include "test_https_server.h"
#endif

namespace quorvex::test {

// One host that throttles: beyond `per_second` requests within a second, HTTP 429.
struct ServicesThrottle {
  std::string host;
  int per_second = 5;
};

class ServicesStandIn {
 public:
  explicit ServicesStandIn(std::optional<ServicesThrottle> throttle = std::nullopt);
  // The connect-to entries that send every service host a module may ask here.
  std::vector<std::string> connect_to() const;
  std::vector<RecordedRequest> requests() const;
  // Requests the throttle turned away.
  int throttled() const;

 private:
#ifdef _WIN32
  // Under Wine, one of the native stand-in program's (remote_share_service.cpp).
  RemoteStandIn remote_;
#else
  struct Throttle {
    std::mutex mutex;
    std::deque<std::chrono::steady_clock::time_point> times;
    int throttled = 0;
  };
  std::shared_ptr<Throttle> throttle_;
  TestHttpsServer server_;
#endif
};

}  // namespace quorvex::test

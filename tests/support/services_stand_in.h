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
#pragma once

#include <string>
#include <vector>

#ifndef _WIN32
#include "test_https_server.h"
#endif

namespace quorvex::test {

#ifndef _WIN32
class ServicesStandIn {
 public:
  ServicesStandIn();
  // The connect-to entries that send every service host a module may ask here.
  std::vector<std::string> connect_to() const;
  std::vector<RecordedRequest> requests() const { return server_.requests(); }

 private:
  TestHttpsServer server_;
};
#endif

}  // namespace quorvex::test

// The HTTP request object that web_request drives: one call per step of a request, in the order
// web_request makes them. The real one is built on libcurl; tests pass a recording fake.
#pragma once

#include <memory>
#include <string>

namespace quorvex {

class RequestObject {
 public:
  virtual ~RequestObject() = default;
  // Resolve, connect, send and receive timeouts in milliseconds.
  virtual void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) = 0;
  // setting 2 means: use the named proxy server.
  virtual void set_proxy(int setting, const std::string& server) = 0;
  virtual void open(const std::string& method, const std::string& url, bool async) = 0;
  // Option 6: follow redirects (0 switches it off). Option 4: certificate errors to ignore.
  virtual void set_option(int index, long value) = 0;
  // flags 1: the credentials are for the proxy.
  virtual void set_credentials(const std::string& user, const std::string& password, int flags) = 0;
  virtual void set_request_header(const std::string& name, const std::string& value) = 0;
  // Sends the request with a text body or a binary body; returns when the whole response has
  // arrived or the request has failed.
  virtual void send_text(const std::string& body) = 0;
  virtual void send_bytes(const std::string& body) = 0;
  virtual std::string response_body() = 0;
  // One "name: value" a line, CR LF between lines; empty when nothing was received.
  virtual std::string all_response_headers() = 0;
  virtual int status() = 0;
};

// Creates the real request object; nullptr when one cannot be had.
std::unique_ptr<RequestObject> create_request_object();

}  // namespace quorvex

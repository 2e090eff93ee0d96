// The client's end of the framed transport (platform/remoting/frame.h): one
// connection to the server, which is the session, carrying the same request
// and reply messages as gRPC. Calls may come from several threads at once:
// each writes its request and waits for its reply, and whichever caller is
// waiting reads the connection for all of them, so a lone caller reads its
// own reply with no other thread involved.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/remoting/endpoint.h"
#include "platform/remoting/error_info.h"
#include "platform/remoting/frame.h"

namespace rvz::client {

class FramedChannel {
 public:
  // Connects and opens the session. Throws ComError: RPC_S_SERVER_UNAVAILABLE
  // when nothing answers there, E_ACCESSDENIED for a refused token, the
  // server's status for a session it cannot open.
  FramedChannel(const remoting::FramedEndpoint& at, const std::string& token, const std::string& clientName,
                size_t maxMessageBytes);
  FramedChannel(const FramedChannel&) = delete;
  FramedChannel& operator=(const FramedChannel&) = delete;
  ~FramedChannel();

  const std::string& sessionId() const { return session_; }

  // One call. False with the failure when the call failed on the way: the
  // connection is gone, the server refused the message, or the reply does
  // not decode. The object's own failures come in the reply.
  bool call(remoting::frames::Method method, const google::protobuf::MessageLite& request,
            google::protobuf::MessageLite& reply, ErrorInfo& error);

  // An Invoke, whose result is read where it lies in the reply's body
  // (platform/remoting/invoke_reply_body.h): `reply` gets the other fields,
  // `result` the result's bytes, which live in `body` (or in `reply`) until
  // either is changed.
  bool invoke(const remoting::v1::InvokeRequest& request, remoting::v1::InvokeReply& reply, std::string& body,
              std::string_view& result, ErrorInfo& error);

  // Ends the connection (and so the session); waiting calls fail.
  void close();

 private:
  struct Arrived {
    remoting::frames::Header header;
    std::string body;
    bool oversized = false;
  };
  bool exchange(remoting::frames::Method method, uint64_t callId, const std::string& frame, Arrived& got,
                ErrorInfo& error);
  bool ask(remoting::frames::Method method, const google::protobuf::MessageLite& request, Arrived& got,
           ErrorInfo& error);
  ErrorInfo undecodable(remoting::frames::Method method) const;
  // Reads the rest of a frame's body straight into place; false with what
  // went wrong.
  bool readRest(std::string& body, size_t have, std::string& fault);
  bool send(const std::string& frame, ErrorInfo& error);
  bool await(uint64_t callId, Arrived& got, ErrorInfo& error);
  void readSome();  // by the caller that holds the reading turn

  const std::string where_;
  const size_t maxBody_;
  int fd_ = -1;
  std::string session_;

  std::mutex writeMu_;  // one frame at a time on the connection; never held with mu_
  std::mutex mu_;       // guards what follows
  std::condition_variable arrivedCv_;
  bool reading_ = false;  // a caller is reading for everyone
  uint64_t nextCall_ = 1;
  std::unordered_map<uint64_t, Arrived> arrived_;
  std::string broken_;                 // why the connection can take no more calls
  remoting::frames::Decoder decoder_;  // only the caller with the reading turn touches it
};

}  // namespace rvz::client

// The server's figures for Prometheus, in its text exposition format:
// sessions open, live objects by class, calls by method with their outcome
// and latency histogram, failures by HRESULT, applies of deltas and the
// rows they wrote, and the operational log's lines by level. Fed by the
// runtime's events; read by the metrics endpoint from another thread.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "platform/remoting/runtime_events.h"

namespace rvz::host {

class ServerMetrics final : public remoting::RuntimeEvents {
 public:
  // Upper bounds of the latency buckets, in seconds (+Inf follows).
  static constexpr std::array<double, 10> kBuckets{0.001, 0.0025, 0.005, 0.01, 0.025, 0.1, 0.25, 1, 2.5, 10};

  void sessionOpened(std::string_view session, std::string_view peer) override;
  void sessionEnded(std::string_view session, std::string_view peer, std::string_view reason) override;
  void objectCreated(std::string_view session, uint64_t object, const remoting::ClassDesc& cls) override;
  void objectDestroyed(std::string_view session, uint64_t object, const remoting::ClassDesc& cls) override;
  void callDone(const remoting::CallReport& call) override;
  void requestRefused(std::string_view peer, std::string_view reason) override;

  // The whole exposition, every family with its HELP and TYPE lines.
  std::string render() const;

 private:
  struct Histogram {
    std::array<uint64_t, kBuckets.size()> buckets{};  // not cumulative; summed when rendered
    uint64_t count = 0;
    double sum = 0;
  };
  struct MethodCalls {
    uint64_t ok = 0;
    uint64_t failed = 0;
    Histogram latency;
  };

  mutable std::mutex mu_;  // taken after the runtime's lock, never before
  int64_t sessions_ = 0;
  uint64_t sessionsTotal_ = 0;
  std::map<std::string, int64_t> objects_;                 // by ProgID
  std::map<std::string, MethodCalls, std::less<>> calls_;  // by method name
  std::map<std::string, uint64_t> failures_;               // by HRESULT "0x80004005"
  uint64_t applies_ = 0;
  uint64_t applyFailures_ = 0;
  uint64_t refused_ = 0;
};

// Several receivers of the runtime's events, called in order.
class EventsFanOut final : public remoting::RuntimeEvents {
 public:
  EventsFanOut(remoting::RuntimeEvents& a, remoting::RuntimeEvents& b) : a_(a), b_(b) {}
  void sessionOpened(std::string_view s, std::string_view p) override {
    a_.sessionOpened(s, p);
    b_.sessionOpened(s, p);
  }
  void sessionEnded(std::string_view s, std::string_view p, std::string_view r) override {
    a_.sessionEnded(s, p, r);
    b_.sessionEnded(s, p, r);
  }
  void objectCreated(std::string_view s, uint64_t o, const remoting::ClassDesc& c) override {
    a_.objectCreated(s, o, c);
    b_.objectCreated(s, o, c);
  }
  void objectDestroyed(std::string_view s, uint64_t o, const remoting::ClassDesc& c) override {
    a_.objectDestroyed(s, o, c);
    b_.objectDestroyed(s, o, c);
  }
  void callDone(const remoting::CallReport& c) override {
    a_.callDone(c);
    b_.callDone(c);
  }
  void requestRefused(std::string_view p, std::string_view r) override {
    a_.requestRefused(p, r);
    b_.requestRefused(p, r);
  }

 private:
  remoting::RuntimeEvents& a_;
  remoting::RuntimeEvents& b_;
};

}  // namespace rvz::host

// Counting the runtime's events and writing them out for Prometheus.
#include "host/server_metrics.h"

#include <cstdio>
#include <sstream>

#include "host/operations_report.h"
#include "platform/oplog/operations_log.h"
#include "services/rows_written.h"

namespace rvz::host {
namespace {

// A label value with \, " and line feeds escaped as the format asks.
std::string label(std::string_view v) {
  std::string out;
  for (char c : v) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '"')
      out += "\\\"";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

void family(std::ostringstream& out, const char* name, const char* type, const char* help) {
  out << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
}

}  // namespace

void ServerMetrics::sessionOpened(std::string_view, std::string_view) {
  std::lock_guard lock(mu_);
  ++sessions_;
  ++sessionsTotal_;
}

void ServerMetrics::sessionEnded(std::string_view, std::string_view, std::string_view) {
  std::lock_guard lock(mu_);
  --sessions_;
}

void ServerMetrics::objectCreated(std::string_view, uint64_t, const remoting::ClassDesc& cls) {
  std::lock_guard lock(mu_);
  ++objects_[std::string(cls.progId)];
}

void ServerMetrics::objectDestroyed(std::string_view, uint64_t, const remoting::ClassDesc& cls) {
  std::lock_guard lock(mu_);
  --objects_[std::string(cls.progId)];
}

void ServerMetrics::callDone(const remoting::CallReport& call) {
  const double seconds = std::chrono::duration<double>(call.elapsed).count();
  std::lock_guard lock(mu_);
  // Found without building a key: a call costs no allocation once its
  // method has been seen.
  auto it = calls_.find(call.method);
  if (it == calls_.end()) it = calls_.emplace(std::string(call.method), MethodCalls{}).first;
  MethodCalls& m = it->second;
  (call.error ? m.failed : m.ok) += 1;
  size_t i = 0;
  while (i < kBuckets.size() && seconds > kBuckets[i]) ++i;
  if (i < kBuckets.size()) ++m.latency.buckets[i];
  ++m.latency.count;
  m.latency.sum += seconds;
  if (call.error) ++failures_[hresultText(call.hresult)];
  if (call.method == "AS_ApplyUpdates") (call.error ? applyFailures_ : applies_) += 1;
}

void ServerMetrics::requestRefused(std::string_view, std::string_view) {
  std::lock_guard lock(mu_);
  ++refused_;
}

std::string ServerMetrics::render() const {
  std::ostringstream out;
  std::lock_guard lock(mu_);
  family(out, "rvz_sessions", "gauge", "Client sessions open.");
  out << "rvz_sessions " << sessions_ << '\n';
  family(out, "rvz_sessions_opened_total", "counter", "Client sessions opened since the start.");
  out << "rvz_sessions_opened_total " << sessionsTotal_ << '\n';
  family(out, "rvz_live_objects", "gauge", "Live service objects by class.");
  for (const char* cls : {"Quib.datas", "Quib.DatasBb"})
    if (!objects_.count(cls)) out << "rvz_live_objects{class=\"" << cls << "\"} 0\n";
  for (const auto& [cls, n] : objects_) out << "rvz_live_objects{class=\"" << label(cls) << "\"} " << n << '\n';
  family(out, "rvz_calls_total", "counter", "Answered requests by method and outcome.");
  for (const auto& [method, m] : calls_) {
    out << "rvz_calls_total{method=\"" << label(method) << "\",outcome=\"ok\"} " << m.ok << '\n';
    out << "rvz_calls_total{method=\"" << label(method) << "\",outcome=\"failed\"} " << m.failed << '\n';
  }
  family(out, "rvz_call_duration_seconds", "histogram", "Time from a request's arrival to its answer, by method.");
  for (const auto& [method, m] : calls_) {
    const std::string l = label(method);
    uint64_t cumulative = 0;
    for (size_t i = 0; i < kBuckets.size(); ++i) {
      cumulative += m.latency.buckets[i];
      out << "rvz_call_duration_seconds_bucket{method=\"" << l << "\",le=\"" << number(kBuckets[i]) << "\"} "
          << cumulative << '\n';
    }
    out << "rvz_call_duration_seconds_bucket{method=\"" << l << "\",le=\"+Inf\"} " << m.latency.count << '\n';
    out << "rvz_call_duration_seconds_sum{method=\"" << l << "\"} " << number(m.latency.sum) << '\n';
    out << "rvz_call_duration_seconds_count{method=\"" << l << "\"} " << m.latency.count << '\n';
  }
  family(out, "rvz_call_failures_total", "counter", "Failures returned to clients by HRESULT.");
  for (const auto& [hr, n] : failures_) out << "rvz_call_failures_total{hresult=\"" << hr << "\"} " << n << '\n';
  family(out, "rvz_applies_total", "counter", "AS_ApplyUpdates calls by outcome.");
  out << "rvz_applies_total{outcome=\"ok\"} " << applies_ << '\n';
  out << "rvz_applies_total{outcome=\"failed\"} " << applyFailures_ << '\n';
  family(out, "rvz_rows_written_total", "counter",
         "Rows that applies wrote and kept (committed), by kind: inserted, updated, deleted.");
  const services::RowsWritten rows = services::rowsWrittenSoFar();
  out << "rvz_rows_written_total{kind=\"inserted\"} " << rows.inserted << '\n';
  out << "rvz_rows_written_total{kind=\"updated\"} " << rows.updated << '\n';
  out << "rvz_rows_written_total{kind=\"deleted\"} " << rows.deleted << '\n';
  family(out, "rvz_refused_requests_total", "counter",
         "Requests turned away before a session: a missing or wrong token, a session not opened.");
  out << "rvz_refused_requests_total " << refused_ << '\n';
  family(out, "rvz_log_lines_total", "counter", "Lines of the operational log by level, written or below the level.");
  for (oplog::Level level :
       {oplog::Level::Error, oplog::Level::Warning, oplog::Level::Notice, oplog::Level::Info, oplog::Level::Debug})
    out << "rvz_log_lines_total{level=\"" << oplog::levelName(level) << "\"} " << oplog::linesWritten(level) << '\n';
  return out.str();
}

}  // namespace rvz::host

// The metrics as Prometheus reads them, and the endpoint's answers.
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "host/metrics_endpoint.h"
#include "host/server_metrics.h"
#include "platform/remoting/error_info.h"
#include "platform/remoting/type_library.h"
#include "services/rows_written.h"
#include "services/quib_type_library.h"

using namespace std::chrono_literals;
using rvz::host::MetricsEndpoint;
using rvz::host::ServerMetrics;

namespace {

bool has(const std::string& text, const std::string& line) { return text.find(line + "\n") != std::string::npos; }

rvz::remoting::CallReport call(std::string_view method, std::chrono::nanoseconds elapsed,
                               const rvz::ErrorInfo* error = nullptr, rvz::HRESULT hr = rvz::S_OK) {
  rvz::remoting::CallReport c;
  c.session = "s1";
  c.object = 1;
  c.method = method;
  c.elapsed = elapsed;
  c.error = error;
  c.hresult = hr;
  return c;
}

TEST(ServerMetrics, SessionsObjectsCallsAndFailures) {
  ServerMetrics m;
  const auto& datas = rvz::services::datasClass();
  m.sessionOpened("s1", "ipv4:127.0.0.1:1");
  m.sessionOpened("s2", "ipv4:127.0.0.1:2");
  m.sessionEnded("s2", "ipv4:127.0.0.1:2", "closed by the client");
  m.objectCreated("s1", 1, datas);
  m.objectCreated("s1", 2, datas);
  m.objectDestroyed("s1", 2, datas);
  rvz::ErrorInfo e;
  e.hresult = static_cast<rvz::HRESULT>(0x8000FFFF);
  m.callDone(call("AS_GetRecords", 2ms));
  m.callDone(call("AS_GetRecords", 30ms));
  m.callDone(call("AS_GetRecords", 20s, &e, e.hresult));
  m.callDone(call("AS_ApplyUpdates", 500us));
  m.requestRefused("ipv4:10.0.0.9:4000", "the client token is missing or wrong");
  const std::string t = m.render();
  EXPECT_TRUE(has(t, "# TYPE rvz_sessions gauge")) << t;
  EXPECT_TRUE(has(t, "rvz_sessions 1")) << t;
  EXPECT_TRUE(has(t, "rvz_sessions_opened_total 2")) << t;
  EXPECT_TRUE(has(t, "rvz_live_objects{class=\"Quib.datas\"} 1")) << t;
  EXPECT_TRUE(has(t, "rvz_live_objects{class=\"Quib.DatasBb\"} 0")) << t;
  EXPECT_TRUE(has(t, "rvz_calls_total{method=\"AS_GetRecords\",outcome=\"ok\"} 2")) << t;
  EXPECT_TRUE(has(t, "rvz_calls_total{method=\"AS_GetRecords\",outcome=\"failed\"} 1")) << t;
  // Buckets count every call at or under their bound; +Inf counts all.
  EXPECT_TRUE(has(t, "rvz_call_duration_seconds_bucket{method=\"AS_GetRecords\",le=\"0.001\"} 0")) << t;
  EXPECT_TRUE(has(t, "rvz_call_duration_seconds_bucket{method=\"AS_GetRecords\",le=\"0.0025\"} 1")) << t;
  EXPECT_TRUE(has(t, "rvz_call_duration_seconds_bucket{method=\"AS_GetRecords\",le=\"0.025\"} 1")) << t;
  EXPECT_TRUE(has(t, "rvz_call_duration_seconds_bucket{method=\"AS_GetRecords\",le=\"0.1\"} 2")) << t;
  EXPECT_TRUE(has(t, "rvz_call_duration_seconds_bucket{method=\"AS_GetRecords\",le=\"10\"} 2")) << t;
  EXPECT_TRUE(has(t, "rvz_call_duration_seconds_bucket{method=\"AS_GetRecords\",le=\"+Inf\"} 3")) << t;
  EXPECT_TRUE(has(t, "rvz_call_duration_seconds_count{method=\"AS_GetRecords\"} 3")) << t;
  EXPECT_TRUE(has(t, "rvz_call_duration_seconds_sum{method=\"AS_GetRecords\"} 20.032")) << t;
  EXPECT_TRUE(has(t, "rvz_call_failures_total{hresult=\"0x8000FFFF\"} 1")) << t;
  EXPECT_TRUE(has(t, "rvz_applies_total{outcome=\"ok\"} 1")) << t;
  EXPECT_TRUE(has(t, "rvz_refused_requests_total 1")) << t;
  EXPECT_NE(t.find("rvz_log_lines_total{level=\"error\"} "), std::string::npos) << t;
}

TEST(ServerMetrics, RowsWrittenByKind) {
  // The totals are the process's: read them before adding.
  const rvz::services::RowsWritten before = rvz::services::rowsWrittenSoFar();
  rvz::services::RowsWritten apply;
  for (auto s : {rvz::packets::RowStatus::Inserted, rvz::packets::RowStatus::Inserted,
                 rvz::packets::RowStatus::Modified, rvz::packets::RowStatus::Deleted})
    apply.count(s);
  rvz::services::addRowsWritten(apply);
  rvz::services::addRowsWritten(apply);
  const std::string t = ServerMetrics().render();
  EXPECT_TRUE(has(t, "# TYPE rvz_rows_written_total counter")) << t;
  EXPECT_TRUE(has(t, "rvz_rows_written_total{kind=\"inserted\"} " + std::to_string(before.inserted + 4))) << t;
  EXPECT_TRUE(has(t, "rvz_rows_written_total{kind=\"updated\"} " + std::to_string(before.updated + 2))) << t;
  EXPECT_TRUE(has(t, "rvz_rows_written_total{kind=\"deleted\"} " + std::to_string(before.deleted + 2))) << t;
}

TEST(ServerMetrics, LabelValuesAreEscaped) {
  ServerMetrics m;
  m.callDone(call("dispid \"7\"\\x", 1ms));
  EXPECT_NE(m.render().find("method=\"dispid \\\"7\\\"\\\\x\""), std::string::npos) << m.render();
}

TEST(MetricsEndpoint, AnswersByPathMethodAndToken) {
  MetricsEndpoint open({"127.0.0.1", 0}, "", [] { return std::string("rvz_sessions 0\n"); });
  EXPECT_NE(open.port(), 0);
  struct Case {
    const MetricsEndpoint* ep;
    const char *method, *path, *auth;
    unsigned status;
  };
  MetricsEndpoint guarded({"127.0.0.1", 0}, "s3cret", [] { return std::string("x\n"); });
  const Case cases[] = {
      {&open, "GET", "/metrics", "", 200},
      {&open, "GET", "/", "", 404},
      {&open, "POST", "/metrics", "", 405},
      {&guarded, "GET", "/metrics", "", 401},
      {&guarded, "GET", "/metrics", "Bearer nope", 401},
      {&guarded, "GET", "/metrics", "s3cret", 401},
      {&guarded, "GET", "/metrics", "Bearer s3cret", 200},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.ep->answer(c.method, c.path, c.auth).status, c.status) << c.method << " " << c.path << " " << c.auth;
  EXPECT_EQ(open.answer("GET", "/metrics", "").body, "rvz_sessions 0\n");
}

TEST(MetricsEndpoint, SettingNeedsTheRemoteOptInForOtherMachines) {
  EXPECT_FALSE(rvz::host::metricsEndpointSetting("", false));
  EXPECT_EQ(rvz::host::metricsEndpointSetting("127.0.0.1:9100", false)->port, 9100);
  EXPECT_EQ(rvz::host::metricsEndpointSetting("0.0.0.0:9100", true)->host, "0.0.0.0");
  for (const char* bad : {"0.0.0.0:9100", "10.1.2.3:9100", "nonsense", "127.0.0.1:99999"}) {
    try {
      rvz::host::metricsEndpointSetting(bad, false);
      ADD_FAILURE() << bad << " was taken";
    } catch (const rvz::ComError& e) {
      EXPECT_NE(std::string(e.what()).find("RVZ_METRICS"), std::string::npos) << e.what();
    }
  }
}

TEST(MetricsEndpoint, AnAddressInUseIsNamed) {
  MetricsEndpoint first({"127.0.0.1", 0}, "", [] { return std::string(); });
  try {
    MetricsEndpoint second({"127.0.0.1", first.port()}, "", [] { return std::string(); });
    FAIL() << "two endpoints on one port";
  } catch (const rvz::ComError& e) {
    EXPECT_NE(std::string(e.what()).find(first.address()), std::string::npos) << e.what();
  }
}

}  // namespace

// A report's SQL through the report service vs through the data service
// that lends it its connection: the sales lines of a date range with
// customer and goods (the kind of text the suite's sales reports send),
// fetched whole in-process (Count -1, binary packet) through pKhXsHz of a
// report service object and through Tmp of the data service object named
// "Datas", on a sample home of 20 000 lines per bill family. The two take
// turns, three fetches each per pair, the first of each turn alternating;
// the figure is the median of the pairs' ratios (report_vs_data_fetch) with
// the largest over the smallest ratio (report_vs_data_fetch_spread).
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "client/sample/sample_home.h"
#include "platform/packets/packet_reader.h"
#include "platform/text/text.h"
#include "services/dms.h"
#include "services/dms_bb.h"
#include "tests/support/scratch_folder.h"

using namespace rvz;

namespace {

constexpr int kRows = 20000;
constexpr int kPairs = 9;
// Fetches of each side in one pair, taking turns; a pair compares their sums.
constexpr int kFetchesPerSide = 3;

constexpr const char16_t* kSalesLines =
    u"select Z.DJBH, Z.RQ, K.MC as KHMC, H.BH, H.PM, M.SL, M.DJ, M.SL*M.DJ as JE\r\n"
    u"from XSKDZB Z, XSKD M, KH K, HP H\r\n"
    u"where M.ZBID=Z.ID and Z.KHID=K.ID and M.HPID=H.ID and Z.RQ between #2000-01-01# and #2037-12-31#\r\n"
    u"order by K.MC, H.BH\r\n";

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "report_bench: %s\n", why.c_str());
  std::exit(1);
}

// Seconds of one whole fetch; the rows fetched in `rows`.
double fetchSeconds(services::ProviderHost& host, const std::u16string& provider, size_t& rows) {
  auto t0 = std::chrono::steady_clock::now();
  int32_t recsOut = 0;
  Variant params, owner;
  Variant packet = host.AS_GetRecords(provider, -1, recsOut, 1, kSalesLines, params, owner);
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  rows = packets::decodePacket(packet).rowCount();
  return s;
}

}  // namespace

int main() {
  const rvz::testsupport::ScratchFolder scratch("report_bench");
  const std::filesystem::path home = scratch.path();
  const rvz::testsupport::HomeScope homeScope(home);
  try {
    client::buildSampleHome(home, kRows);
  } catch (const std::exception& e) {
    fail(std::string("cannot build the sample home: ") + e.what());
  }
  std::vector<double> ratios;
  try {
    services::TDatas datas;
    if (datas.ConnectAct(0, u"", u"Sample", u"", u"") != 0) fail("ConnectAct refused the sample");
    services::TDatasBb reports;
    size_t reportRows = 0, dataRows = 0;
    // One fetch each first, so that neither pays for opening Cn.
    fetchSeconds(reports.host(), u"pKhXsHz", reportRows);
    fetchSeconds(datas.host(), u"pTmp", dataRows);
    for (int i = 0; i < kPairs; ++i) {
      double report = 0, data = 0;
      for (int j = 0; j < kFetchesPerSide; ++j) {
        if ((i + j) % 2) {
          report += fetchSeconds(reports.host(), u"pKhXsHz", reportRows);
          data += fetchSeconds(datas.host(), u"pTmp", dataRows);
        } else {
          data += fetchSeconds(datas.host(), u"pTmp", dataRows);
          report += fetchSeconds(reports.host(), u"pKhXsHz", reportRows);
        }
        if (reportRows != dataRows || reportRows == 0)
          fail("the report fetched " + std::to_string(reportRows) + " rows, the data service " +
               std::to_string(dataRows));
      }
      ratios.push_back(report / data);
    }
  } catch (const std::exception& e) {
    fail(e.what());
  }
  std::sort(ratios.begin(), ratios.end());
  std::printf("report_vs_data_fetch=%.3f\n", ratios[ratios.size() / 2]);
  std::printf("report_vs_data_fetch_spread=%.3f\n", ratios.back() / ratios.front());
  return 0;
}

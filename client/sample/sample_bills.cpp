// Sample bills of every bill family: headers with their partner, warehouse,
// way of payment and account, and lines whose goods, quantities and prices
// add up to the header's amount. Receipts follow the orders before them
// (same goods, DDID = the order), payments and collections settle earlier
// receipts and invoices by number.
#include <cmath>
#include <cstdio>
#include <tuple>

#include "client/sample/sample_model.h"

namespace rvz::client::sample {

namespace {

Variant textOf(const std::string& s) { return Variant::bstrUtf8(s); }

// The employee who handles the bills of a family: header h takes staff[h % n].
int handler(const std::vector<int>& staff, int h) { return staff[static_cast<size_t>(h) % staff.size()]; }

// Columns that most headers carry, filled where a header has them. The
// newest bill of each family is still a draft (uFlag 0, no auditor).
TablePlan header(const SampleModel& m, const std::string& table, const std::string& caption, std::vector<int> staff) {
  TablePlan p = planFor(m, table);
  auto name = [staff](const Row& r) { return textOf(SampleModel::employee(handler(staff, r.i)).name); };
  p.maybe("YGID", [staff](const Row& r) { return Variant::i4(handler(staff, r.i)); })
      .maybe("YWY", name)
      .maybe("JSR", name)
      .maybe("CZY", gen::cycle({"王芳", "刘洋", "陈静"}))
      .maybe("AuditName", [](const Row& r) { return r.i == 0 ? Variant::null() : textOf("孙丽"); })
      .maybe("uFlag", [](const Row& r) { return Variant::i4(r.i == 0 ? 0 : 1); })
      .maybe("BillType", gen::text(caption))
      .maybe("BZ", gen::cycle({"", "按合同执行", "月底前结清", "加急"}))
      .maybe("PH",
             [](const Row& r) {
               char buf[64];
               std::snprintf(buf, sizeof buf, "%08d", 20080001 + r.i);
               return textOf(buf);
             })
      .maybe("SFKFSID", gen::ref(m, "SFKFS"))
      // The account of the way of payment chosen (SFKFS.ZHID).
      .maybe("ZHID",
             [&m](const Row& r) {
               static const int account[] = {1, 2, 3, 2};
               return Variant::i4(account[(m.ref("SFKFS", r.i) - 1) % 4]);
             })
      .maybe("ZK", gen::real(100))
      .maybe("JHRQ", [](const Row& r) { return Variant::date(SampleModel::billDate(r.i) + 7); })
      .maybe("JHDD", gen::cycle({"总仓库", "客户仓库", "成品仓库"}));
  return p;
}

// Columns that most goods lines carry beyond the general line rules.
TablePlan lines(const SampleModel& m, const std::string& table, const std::string& headerTable,
                const std::string& sourcePrefix = {}) {
  TablePlan p = linesFor(m, table, headerTable, SampleModel::kLinesPerHeader);
  if (!sourcePrefix.empty()) {
    // Lines taken over from the bill of the same number in an earlier
    // family: the order a receipt follows, say.
    p.maybe("DDID", [](const Row& r) { return Variant::i4(r.h + 1); })
        .maybe("SRCNO", [sourcePrefix](const Row& r) { return textOf(SampleModel::billNumber(sourcePrefix, r.h)); })
        .maybe("SRCSEQ", [](const Row& r) { return Variant::i4(r.j + 1); });
  }
  return p;
}

// The one line of a payment or collection: bill h settles the bill h of
// the family it pays for, in full.
TablePlan settlement(const SampleModel& m, const std::string& table, const std::string& headerTable,
                     const std::string& sourceHeader, const std::string& due) {
  TablePlan p = linesFor(m, table, headerTable, 1);
  const std::string prefix = SampleModel::billPrefix(sourceHeader);
  auto amount = [&m, sourceHeader](const Row& r) { return Variant::r8(m.billAmount(sourceHeader, r.h)); };
  p.set("SRCBillNo", [prefix](const Row& r) { return textOf(SampleModel::billNumber(prefix, r.h)); })
      .set("SRCRQ", [](const Row& r) { return Variant::date(SampleModel::billDate(r.h)); })
      .set("DDID", [](const Row& r) { return Variant::i4(r.h + 1); })
      .set("JE", amount)
      .set(due, gen::real(0))
      .set("FKJE", amount);
  return p;
}

Gen settledAmount(const SampleModel& m, const std::string& sourceHeader) {
  return [&m, sourceHeader](const Row& r) { return Variant::r8(m.billAmount(sourceHeader, r.i)); };
}

// Amount lines of the income and expense bills, booked to categories of
// one kind (SRZCLB ids `first`..`first + n - 1`).
TablePlan moneyLines(const SampleModel& m, const std::string& table, const std::string& headerTable, int first, int n,
                     std::vector<std::string> summaries) {
  TablePlan p = linesFor(m, table, headerTable, SampleModel::kLinesPerHeader);
  p.set("SRZCLBID", [first, n](const Row& r) { return Variant::i4(first + (r.h + r.j) % n); })
      .set("JE", [](const Row& r) { return Variant::r8(120.0 + 35.5 * ((r.h * 3 + r.j) % 9)); })
      .set("ZY", gen::cycle(std::move(summaries)));
  return p;
}

Gen moneyTotal() {
  return [](const Row& r) {
    double sum = 0;
    for (int j = 0; j < SampleModel::kLinesPerHeader; ++j) sum += 120.0 + 35.5 * ((r.i * 3 + j) % 9);
    return Variant::r8(sum);
  };
}

const std::vector<int> kSales = {1, 2}, kPurchasing = {3, 4}, kStock = {5}, kFinance = {6};

// Purchasing.
void addPurchasingPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(header(m, "CGSQZB", "采购申请", kPurchasing).set("ZT", gen::flags({false, true})));
  out.push_back(lines(m, "CGSQ", "CGSQZB"));
  // Every other order is finished (ZT); the newest one is open.
  out.push_back(header(m, "CGDDZB", "采购订单", kPurchasing).set("ZT", gen::flags({false, true})));
  out.push_back(lines(m, "CGDD", "CGDDZB"));
  out.push_back(header(m, "CGSHZB", "采购收货", kPurchasing)
                    .set("CGLX", [](const Row& r) { return Variant::i4(1 + r.i % 2); })
                    .set("FKQX", gen::integer(30))
                    .set("FPLX", [](const Row& r) { return Variant::i4(1 + r.i % 3); })
                    // Cash receipts are paid at once, the others later.
                    .set("XFJE", [&m](const Row& r) { return Variant::r8(r.i % 2 ? 0 : m.billAmount("CGSHZB", r.i)); })
                    .set("YFJE", [&m](const Row& r) { return Variant::r8(r.i % 2 ? m.billAmount("CGSHZB", r.i) : 0); })
                    .set("SHDH", [](const Row& r) { return textOf(SampleModel::billNumber("CD", r.i)); })
                    .set("JSFS", gen::cycle({"现款", "月结"})));
  out.push_back(lines(m, "CGSH", "CGSHZB", "CD").set("SHDH", [](const Row& r) {
    return textOf(SampleModel::billNumber("CD", r.h));
  }));
  out.push_back(header(m, "CGFKZB", "采购付款", kFinance)
                    .set("FKLX", [](const Row& r) { return Variant::i4(1 + r.i % 2); })
                    .set("JE", settledAmount(m, "CGSHZB"))
                    .set("FKJE", settledAmount(m, "CGSHZB")));
  out.push_back(settlement(m, "CGFK", "CGFKZB", "CGSHZB", "YFJE"));
  out.push_back(
      header(m, "CGTHZB", "采购退货", kPurchasing).set("THLX", [](const Row& r) { return Variant::i4(1 + r.i % 2); }));
  out.push_back(lines(m, "CGTH", "CGTHZB").set("BZ", gen::cycle({"质量问题", "规格不符", "多发退回"})));
}

// Sales, returns and retail.
void addSalesPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  // Sales; the newest order is dated 30 August 2008, the day the declared
  // SQL of Xsddzb reads.
  out.push_back(header(m, "XSDDZB", "销售订单", kSales).set("ZT", gen::flags({false, true})));
  out.push_back(lines(m, "XSDD", "XSDDZB"));
  out.push_back(
      header(m, "XSKDZB", "销售开单", kSales)
          .set("XSLX", [](const Row& r) { return Variant::i4(1 + r.i % 2); })
          .set("FPLX", [](const Row& r) { return Variant::i4(1 + r.i % 3); })
          .set("SKQX", gen::integer(30))
          .set("XSJE", [&m](const Row& r) { return Variant::r8(m.billAmount("XSKDZB", r.i)); })
          // Cash sales are received at once.
          .set("YSJE", [&m](const Row& r) { return Variant::r8(r.i % 2 ? 0 : m.billAmount("XSKDZB", r.i)); }));
  out.push_back(lines(m, "XSKD", "XSKDZB", "XD"));
  out.push_back(header(m, "XSSKZB", "销售收款", kFinance)
                    .set("FKLX", [](const Row& r) { return Variant::i4(1 + r.i % 2); })
                    .set("JE", settledAmount(m, "XSKDZB"))
                    .set("FKJE", settledAmount(m, "XSKDZB")));
  out.push_back(settlement(m, "XSSK", "XSSKZB", "XSKDZB", "YSJE"));
  out.push_back(header(m, "XSTHZB", "销售退货", kSales)
                    .set("THLX", [](const Row& r) { return Variant::i4(1 + r.i % 2); })
                    .set("XSJE", [&m](const Row& r) { return Variant::r8(m.billAmount("XSTHZB", r.i)); })
                    .set("YSJE", [&m](const Row& r) { return Variant::r8(m.billAmount("XSTHZB", r.i)); }));
  out.push_back(lines(m, "XSTH", "XSTHZB").set("BZ", gen::cycle({"客户退货", "包装破损"})));
  // The returned goods of each sales return once more, two lines a bill.
  TablePlan thgc = linesFor(m, "THGC", "XSTHZB", 2);
  thgc.set("HPID", [&m](const Row& r) { return Variant::i4(m.lineGoods(r.h, r.j, 5) + 1); })
      .set("aGG", [&m](const Row& r) { return textOf(SampleModel::goods(m.lineGoods(r.h, r.j, 5)).gg); })
      .set("SL", [](const Row& r) { return Variant::r8(SampleModel::lineQuantity(r.h, r.j)); })
      .set("DJ", [&m](const Row& r) { return Variant::r8(SampleModel::goodsSalePrice(m.lineGoods(r.h, r.j, 5))); });
  out.push_back(std::move(thgc));
  out.push_back(header(m, "LSKDZB", "零售开单", kSales)
                    .set("XSLX", gen::integer(1))
                    .set("FPLX", gen::integer(1))
                    .set("SFKFSID", gen::integer(1))
                    .set("ZHID", gen::integer(1))
                    .set("YSJE", [&m](const Row& r) { return Variant::r8(m.billAmount("LSKDZB", r.i)); })
                    .set("VIPID", [&m](const Row& r) { return Variant::i4(1000 + m.ref("vip", r.i)); }));
  out.push_back(lines(m, "LSKD", "LSKDZB"));
}

// Stock.
void addStockPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(header(m, "LLZB", "领料单", {5, 7}));
  out.push_back(lines(m, "LL", "LLZB").set("BZ", gen::cycle({"生产领用", "办公领用"})));
  out.push_back(header(m, "TLZB", "退料单", kStock));
  out.push_back(lines(m, "TL", "TLZB"));
  out.push_back(header(m, "CPJCZB", "成品进仓", kStock));
  out.push_back(lines(m, "CPJC", "CPJCZB"));
  out.push_back(header(m, "KCPDZB", "库存盘点", kStock));
  // The count found one more than the books on every second line.
  out.push_back(lines(m, "KCPD", "KCPDZB").set("KCSL", [](const Row& r) {
    return Variant::r8(SampleModel::lineQuantity(r.h, r.j) + (r.j == 1 ? 1 : 0));
  }));
  out.push_back(header(m, "CHTJZB", "存货调价", kStock));
  out.push_back(lines(m, "CHTJ", "CHTJZB").set("JDJ", [&m](const Row& r) {
    return Variant::r8(SampleModel::goodsCost(m.lineGoods(r.h, r.j, 10)) * 0.95);
  }));
  out.push_back(header(m, "CKDBZB", "仓库调拨", kStock).set("DBTYPE", gen::text("仓间调拨")));
  out.push_back(lines(m, "CKDB", "CKDBZB"));
  out.push_back(header(m, "QTKCBDZB", "其他出入库", kStock)
                    // The header's direction follows its kind: 1 in for RKL kinds, 2 out.
                    .set("CRLX", [&m](const Row& r) { return Variant::i4(m.ref("QTKCBDLX", r.i) % 2 == 1 ? 1 : 2); })
                    .set("XGXX", gen::cycle({"年中盘点", "损耗", "促销赠品", "借给客户"})));
  out.push_back(lines(m, "QTKCBD", "QTKCBDZB").set("CRLX", [&m](const Row& r) {
    return Variant::i4(m.ref("QTKCBDLX", r.h) % 2 == 1 ? 1 : 2);
  }));
  // Assemblies: a computer from paper and stationery, in 10 pieces.
  out.push_back(header(m, "CKZZZB", "组装单", kStock)
                    .set("HPID", [](const Row& r) { return Variant::i4(4 + r.i % 3); })
                    .set("SL", gen::real(10))
                    .set("DJ", [](const Row& r) { return Variant::r8(SampleModel::goodsCost(3 + r.i % 3)); }));
  out.push_back(lines(m, "CKZZ", "CKZZZB")
                    .set("PARENTID", [](const Row& r) { return Variant::i4(4 + r.h % 3); })
                    .set("RATE_SH", gen::real(0)));
}

// Finance.
void addFinancePlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(header(m, "FYKZZB", "费用开支", kFinance).set("JE", moneyTotal()));
  out.push_back(moneyLines(m, "FYKZ", "FYKZZB", 3, 4, {"8月份货物运输费", "购买办公用品", "支付水电费", "出差北京"}));
  out.push_back(header(m, "QTSRZB", "其他收入", kFinance).set("JE", moneyTotal()));
  out.push_back(moneyLines(m, "QTSR", "QTSRZB", 1, 2, {"银行存款利息", "废旧包装回收"}));
  out.push_back(planFor(m, "YHCKQK")
                    .set("RQ", gen::billDate())
                    .set("JSR", gen::text("杨帆"))
                    .set("PH", gen::cycle({"ZZ0801", "ZZ0802", "ZZ0803", "ZZ0804"}))
                    .set("JE", gen::reals({5000, 20000, 3000, 15000}))
                    .set("BZ", gen::cycle({"提取备用金", "存入货款", "提取现金", "银行间转账"}))
                    .set("CZY", gen::text("杨帆")));
}

// Production.
void addProductionPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(header(m, "SC_BOMZB", "物料清单", kStock)
                    .set("HPID", [](const Row& r) { return Variant::i4(4 + r.i % 3); })
                    .set("SL", gen::real(1))
                    .set("RATE_CC", gen::real(98))
                    .set("GS", gen::real(8)));
  out.push_back(lines(m, "SC_BOM", "SC_BOMZB")
                    .set("PARENTID", [](const Row& r) { return Variant::i4(4 + r.h % 3); })
                    .set("RATE_SH", gen::real(2)));
  for (const auto& [h, l, caption] :
       {std::tuple{"SC_SCJHZB", "SC_SCJH", "生产计划"}, std::tuple{"SC_WLXQJHZB", "SC_WLXQJH", "物料需求计划"},
        std::tuple{"SC_CGJHZB", "SC_CGJH", "采购计划"}}) {
    out.push_back(header(m, h, caption, kStock));
    out.push_back(lines(m, l, h));
  }
  out.push_back(header(m, "SC_ProduceOrderZB", "生产任务单", kStock)
                    .set("BeginDate", gen::billDate())
                    .set("EndDate", [](const Row& r) { return Variant::date(SampleModel::billDate(r.i) + 5); })
                    .set("BeginFlag", gen::yes(true))
                    .set("EndFlag", gen::flags({false, true}))
                    .set("BachNo", [](const Row& r) { return textOf(SampleModel::billNumber("PC", r.i)); }));
  out.push_back(lines(m, "SC_ProduceOrder", "SC_ProduceOrderZB"));
  out.push_back(header(m, "SC_WtjgZB", "委托加工", kPurchasing)
                    .set("EndDate", [](const Row& r) { return Variant::date(SampleModel::billDate(r.i) + 10); })
                    .set("EndFlag", gen::flags({false, true}))
                    .set("BachNo", [](const Row& r) { return textOf(SampleModel::billNumber("WJ", r.i)); }));
  out.push_back(lines(m, "SC_Wtjg", "SC_WtjgZB"));
}

}  // namespace

std::vector<TablePlan> billPlans(const SampleModel& m) {
  return plansOf(m, {addPurchasingPlans, addSalesPlans, addStockPlans, addFinancePlans, addProductionPlans});
}

}  // namespace rvz::client::sample

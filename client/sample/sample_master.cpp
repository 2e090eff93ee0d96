// Sample rows of the system tables (users, groups, menus, company settings,
// column settings, print templates) and of the master data: the region and
// department trees, customers, suppliers, accounts, warehouses, staff and
// goods with their categories, units, prices and stock.
#include <cmath>
#include <cstdio>

#include "client/sample/sample_model.h"

namespace rvz::client::sample {

namespace {

std::string format(const char* pattern, int n) {
  char buf[64];
  std::snprintf(buf, sizeof buf, pattern, n);
  return buf;
}

// A name of a small base list, numbered once the list is used up, so that
// a scaled table keeps distinct names within the column's size.
Gen numberedNames(std::vector<std::string> names) {
  return [names = std::move(names)](const Row& r) {
    size_t n = names.size();
    std::string s = names[static_cast<size_t>(r.i) % n];
    if (static_cast<size_t>(r.i) >= n) s += std::to_string(r.i + 1);
    return Variant::bstrUtf8(s);
  };
}

// The sample's working day.
double sampleToday() { return SampleModel::date(2008, 8, 30); }

// Users, their groups and desktops, the look-up lists, the log, the menu and
// the projects.
void addUserAndMenuPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  const double today = sampleToday();
  out.push_back(planFor(m, "AppUserGroup")
                    .set("gName", gen::cycle({"系统管理员", "销售组", "采购组", "仓库组"}))
                    .set("gMemo", gen::cycle({"拥有全部权限", "销售订单、开单与收款", "采购订单、收货与付款",
                                              "出入库、盘点与调拨"}))
                    .set("bmid", gen::ints({1, 2, 3, 4})));
  out.push_back(planFor(m, "appuser")
                    .set("uCode", gen::cycle({"admin", "xs01", "xs02", "cg01", "ck01"}))
                    .set("uName", gen::cycle({"系统管理员", "张伟", "王芳", "李娜", "陈静"}))
                    .set("uPassword", gen::text(""))
                    .set("gID", gen::cycle({"1", "2", "2", "3", "4"}))
                    .set("gName", gen::cycle({"系统管理员", "销售组", "销售组", "采购组", "仓库组"}))
                    .set("YGID", gen::ints({8, 1, 2, 3, 5})));
  out.push_back(planFor(m, "AppGroupDesktopClass")
                    .set("gName", gen::cycle({"系统管理员", "系统管理员", "销售组", "销售组", "采购组", "仓库组"}))
                    .set("cName", gen::cycle({"TfrmKh", "TfrmHp", "TfrmXsdd", "TfrmXskd", "TfrmCgdd", "TfrmKcpd"})));
  out.push_back(
      planFor(m, "Appselect")
          .set("DATASET", gen::cycle({"Xskd", "Cgdd", "Kh"}))
          .set("FIELDNAME", gen::cycle({"HPID", "HPID", "DQID"}))
          .set("AUTOUPDATE", gen::flags({true, true, false}))
          .set("DATASELECT", gen::cycle({"select ID,BH,PM,GG,DW from HP order by BH",
                                         "select ID,BH,PM,GG,DW from HP order by BH", "select ID,MC from DQ"})));
  out.push_back(planFor(m, "AppLog")
                    .set("uName", gen::cycle({"张伟", "王芳", "李娜", "陈静", "系统管理员", "张伟"}))
                    .set("cName", gen::cycle({"销售开单", "销售订单", "采购订单", "库存盘点", "系统", "销售收款"}))
                    .set("CZ", gen::cycle({"新增单据", "修改单据", "新增单据", "审核单据", "登录系统", "新增单据"}))
                    .set("RQ", gen::days({today, today, today - 1, today - 1, today - 2, today - 3}))
                    .set("SJ", gen::cycle({"09:15", "10:42", "14:03", "16:30", "08:55", "11:20"})));
  out.push_back(planFor(m, "AppMenu")
                    .set("mName", gen::cycle({"mnuFile", "mnuExit", "mnuBase", "mnuKh", "mnuHp", "mnuSale", "mnuXsdd",
                                              "mnuXskd", "mnuHelp"}))
                    .set("mCaption", gen::cycle({"文件", "退出", "基础资料", "客户资料", "货品资料", "销售管理",
                                                 "销售订单", "销售开单", "帮助"}))
                    .set("mLevel", gen::ints({0, 1, 0, 1, 1, 0, 1, 1, 0}))
                    .set("mIndex", gen::ints({0, 0, 1, 0, 1, 2, 0, 1, 3}))
                    .set("mIsParent", gen::flags({true, false, true, false, false, true, false, false, false})));
  out.push_back(planFor(m, "project")
                    .set("id", gen::id())
                    .set("Pid", gen::ints({0, 1, 1, 0, 4}))
                    .set("Name", gen::cycle({"总部项目", "北京分部", "上海分部", "研发项目", "新品开发"}))
                    .set("Flag", gen::ints({0, 1, 1, 0, 1}))
                    .set("OrderIndex", gen::cycle({"01", "0101", "0102", "02", "0201"})));
}

// The company, the columns shown, print templates and report layouts.
void addCompanySettingPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  const double today = sampleToday();
  out.push_back(planFor(m, "CompanyInfo")
                    .set("fAccountID", gen::id())
                    .set("fBeginDate", gen::day(SampleModel::date(2008, 1, 1)))
                    .set("fCurrentDate", gen::day(today))
                    .set("fEndDate", gen::day(SampleModel::date(2008, 12, 31)))
                    .set("fNatureMoney", gen::text("人民币"))
                    .set("fDefaultPrice", gen::integer(1))
                    .set("fIsAutoAlarm", gen::yes(true))
                    .set("fversion", gen::text("5.0"))
                    .set("fWhich", gen::text("标准版"))
                    .set("fCompanyName", gen::text("示例商贸有限公司"))
                    .set("fEnglishName", gen::text("Sample Trading Co., Ltd."))
                    .set("fCompanyType", gen::text("商贸企业"))
                    .set("fAddress", gen::text("北京市海淀区中关村大街1号"))
                    .set("fTel", gen::text("010-62345678"))
                    .set("fPostCode", gen::text("100080"))
                    .set("fLawMan", gen::text("孙丽"))
                    .set("fTaxAccout", gen::text("110108123456789"))
                    .set("fBank", gen::text("中国工商银行北京中关村支行"))
                    .set("fBankAccount", gen::text("0200001234567890123"))
                    .set("fHomePage", gen::text("www.example.com.cn"))
                    .set("fEmail", gen::text("info@example.com.cn"))
                    .set("fTaxAddRate", gen::real(17))
                    .set("fTaxRate", gen::real(3))
                    .set("fZK", gen::real(100))
                    .set("HP_SX1", gen::text("颜色"))
                    .set("HP_SX2", gen::text("尺码"))
                    .set("HP_SX3", gen::text("产地"))
                    .set("HP_SX4", gen::text("重量"))
                    .set("HP_SX5", gen::text("体积"))
                    .set("HP_SX6", gen::text("保质期")));
  out.push_back(
      planFor(m, "TableColumns")
          .set("XH", gen::ints({1, 2, 3, 4, 5, 6, 1, 2}))
          .set("TableName", gen::cycle({"HP", "HP", "HP", "HP", "HP", "HP", "KH", "KH"}))
          .set("FieldName", gen::cycle({"BH", "PM", "GG", "DW", "JJ", "JJJ", "BH", "MC"}))
          .set("FieldCaption", gen::cycle({"编号", "品名", "规格", "单位", "进价", "零售价", "客户编号", "客户名称"}))
          .set("IsShow", gen::yes(true))
          .set("PrintIsShow", gen::flags({true, true, true, true, false, true, true, true}))
          .set("Width", gen::ints({80, 160, 120, 40, 70, 70, 80, 160})));
  out.push_back(planFor(m, "pub_PrintModal")
                    .set("SystemName", gen::text("进销存"))
                    .set("ObjectName", gen::cycle({"Xskd", "Cgdd", "Cgsh"}))
                    .set("FileName", gen::cycle({"销售开单.xls", "采购订单.xls", "采购收货.xls"}))
                    .set("FileStream", gen::bytes("sample print template"))
                    .set("MasterBegin", gen::integer(3))
                    .set("DetailRowBegin", gen::integer(6))
                    .set("DetailColBegin", gen::integer(1))
                    .set("RooterRowBegin", gen::integer(20))
                    .set("AllRows", gen::integer(10)));
  out.push_back(planFor(m, "Report_print_rm")
                    .set("group_code", gen::cycle({"XSKD", "CGDD", "KCPD"}))
                    .set("xh", gen::text("1"))
                    .set("report_name", gen::cycle({"销售开单", "采购订单", "库存盘点表"}))
                    .set("report_data", gen::bytes("sample report layout"))
                    .set("rpttype", gen::text("rm"))
                    .set("fDefault", gen::yes(true)));
}

}  // namespace

std::vector<TablePlan> systemPlans(const SampleModel& m) {
  return plansOf(m, {addUserAndMenuPlans, addCompanySettingPlans});
}

namespace {

// Partners live in the leaf regions 3..6; each city its phone area, post
// code and address.
const std::vector<std::string> kArea = {"010", "022", "021", "0571"};
const std::vector<std::string> kPost = {"100020", "300010", "200001", "310006"};
const std::vector<std::string> kCity = {"北京市朝阳区建国路", "天津市和平区南京路", "上海市黄浦区南京东路",
                                        "杭州市上城区延安路"};

Variant leafRegion(const Row& r) { return Variant::i4(3 + r.i % 4); }

Gen phone(int base) {
  return [base](const Row& r) {
    return Variant::bstrUtf8(kArea[static_cast<size_t>(r.i) % 4] + "-" + std::to_string(base + r.i * 37 % 1000000));
  };
}

Variant address(const Row& r) {
  return Variant::bstrUtf8(kCity[static_cast<size_t>(r.i) % 4] + std::to_string(r.i % 500 + 1) + "号");
}

Variant postCode(const Row& r) { return Variant::bstrUtf8(kPost[static_cast<size_t>(r.i) % 4]); }

Gen money(double base, double step) {
  return [base, step](const Row& r) { return Variant::r8(base + step * (r.i % 7)); };
}

// Trees: roots have ParentCode 0.
void addTreePlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(planFor(m, "DQ")
                    .set("ParentCode", gen::ints({0, 0, 1, 1, 2, 2}))
                    .set("MC", gen::cycle({"华北地区", "华东地区", "北京", "天津", "上海", "杭州"})));
  out.push_back(planFor(m, "BM")
                    .set("ParentCode", gen::ints({0, 1, 1, 1, 1, 1}))
                    .set("MC", gen::cycle({"总经理室", "销售部", "采购部", "仓储部", "财务部", "人事部"}))
                    .set("ZJM", gen::cycle({"ZJLS", "XSB", "CGB", "CCB", "CWB", "RSB"})));
}

// Customers and suppliers.
void addPartnerPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(
      planFor(m, "KH")
          .set("BH", gen::numbered("KH", 6))
          .set("MC", numberedNames({"北京华联商厦", "天津劝业场", "上海第一百货", "杭州大厦", "北京翠微大厦",
                                    "天津百货大楼", "上海华联超市", "杭州解百"}))
          .set("QC",
               [](const Row& r) {
                 static const char* full[] = {"北京华联商厦股份有限公司",     "天津劝业场集团有限公司",
                                              "上海第一百货商店股份有限公司", "杭州大厦有限公司",
                                              "北京翠微大厦股份有限公司",     "天津百货大楼有限公司",
                                              "上海华联超市股份有限公司",     "杭州解百集团股份有限公司"};
                 return Variant::bstrUtf8(full[r.i % 8]);
               })
          .set("DQID", leafRegion)
          .set("LXR", gen::cycle({"张经理", "李经理", "王主任", "赵科长", "钱经理", "孙主任"}))
          .set("DH", phone(65000000))
          .set("CZ", phone(65900000))
          .set("DZ", address)
          .set("YB", postCode)
          .set("WZ", gen::numbered("www.kh", 6))
          .set("DY", [](const Row& r) { return Variant::bstrUtf8(format("kh%06d@example.cn", r.i + 1)); })
          .set("KHYH", gen::cycle({"中国工商银行北京分行", "中国银行天津分行", "交通银行上海分行", "招商银行杭州分行"}))
          .set("YHZH", [](const Row& r) { return Variant::bstrUtf8(format("62220200%011d", r.i + 1)); })
          .set("NSH", [](const Row& r) { return Variant::bstrUtf8(format("1101056%08d", r.i + 1)); })
          .set("QCJE", money(2000, 1500))
          .set("YXJE", money(500, 200))
          .set("QMJE", money(8000, 2500))
          .set("XYED", gen::real(50000))
          .set("BZ", gen::cycle({"长期合作客户", "按月结算", "需开增值税发票", "新客户"}))
          .set("Laiy", gen::cycle({"老客户介绍", "展会", "网络推广"}))
          .set("Zhuangt", gen::cycle({"合作中", "合作中", "意向客户"}))
          .set("Xingy", gen::cycle({"百货零售", "连锁超市", "批发"}))
          .set("TypeID", [](const Row& r) { return Variant::i4(1 + r.i % 3); })
          .set("LevelID", gen::ref(m, "vip"))
          .set("PriceLevel", gen::cycle({"批发价", "零售价", "会员价"}))
          .set("dengji", gen::cycle({"A级", "B级", "A级", "C级"}))
          .set("ZJM", [](const Row& r) {
            static const char* z[] = {"BJHLSS", "TJQYC", "SHDYBH", "HZDS", "BJCWDS", "TJBHDL", "SHHLCS", "HZJB"};
            return Variant::bstrUtf8(z[r.i % 8]);
          }));
  out.push_back(
      planFor(m, "GYS")
          .set("BH", gen::numbered("GYS", 4))
          .set("MC", gen::cycle({"联想集团", "华为终端", "戴尔中国", "晨光文具", "金光纸业", "得力集团"}))
          .set("QC", gen::cycle({"联想集团有限公司", "华为终端有限公司", "戴尔(中国)有限公司",
                                 "上海晨光文具股份有限公司", "金光纸业(中国)投资有限公司", "得力集团有限公司"}))
          .set("DQID", leafRegion)
          .set("LXR", gen::cycle({"周经理", "吴经理", "郑主任", "冯科长", "陈经理", "褚主任"}))
          .set("DH", phone(82000000))
          .set("CZ", phone(82900000))
          .set("DZ", address)
          .set("YB", postCode)
          .set("WZ", gen::cycle({"www.lenovo.com.cn", "www.huawei.com", "www.dell.com.cn", "www.mg-pen.com",
                                 "www.app.com.cn", "www.deli.com.cn"}))
          .set("DY", [](const Row& r) { return Variant::bstrUtf8(format("gys%03d@example.cn", r.i + 1)); })
          .set("KHYH", gen::cycle({"中国银行北京分行", "中国建设银行深圳分行", "中国工商银行厦门分行"}))
          .set("YHZH", [](const Row& r) { return Variant::bstrUtf8(format("62170000%011d", r.i + 1)); })
          .set("NSH", [](const Row& r) { return Variant::bstrUtf8(format("4403006%08d", r.i + 1)); })
          .set("QCJE", money(10000, 3000))
          .set("YXJE", money(1000, 500))
          .set("QMJE", money(20000, 4000))
          .set("BZ", gen::cycle({"主要供应商", "月结30天", "货到付款"}))
          .set("ZJM", gen::cycle({"LXJT", "HWZD", "DEZG", "CGWJ", "JGZY", "DLJT"}))
          .set("PriceLevel", gen::text("进价")));
}

// Money: accounts, ways of payment, kinds of income and expense.
void addMoneyPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(planFor(m, "ZH")
                    .set("MC", gen::cycle({"现金", "工商银行", "建设银行"}))
                    .set("YHL", gen::flags({false, true, true}))
                    .set("KHYH", gen::cycle({"", "中国工商银行中关村支行", "中国建设银行海淀支行"}))
                    .set("YHZH", gen::cycle({"", "0200001234567890123", "11001028600056001234"}))
                    .set("QCJE", gen::reals({5000, 200000, 120000}))
                    .set("QMJE", gen::reals({8650.5, 236480, 98700})));
  out.push_back(planFor(m, "SFKFS")
                    .set("MC", gen::cycle({"现金", "银行转账", "支票", "电汇"}))
                    .set("ZHID", gen::ints({1, 2, 3, 2})));
  out.push_back(
      planFor(m, "SRZCLB")
          .set("BH", gen::cycle({"101", "102", "201", "202", "203", "204"}))
          .set("MC", gen::cycle({"利息收入", "其他收入", "运输费", "办公费", "水电费", "差旅费"}))
          .set("SRL", gen::flags({true, true, false, false, false, false}))
          .set("BZ", gen::cycle({"银行存款利息", "废品回收等", "货物运输", "办公用品", "水费电费", "出差费用"})));
}

// Warehouses and staff.
void addWarehouseAndStaffPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(planFor(m, "CK")
                    .set("XH", gen::id())
                    .set("MC", gen::cycle({"总仓库", "成品仓库", "材料仓库"}))
                    .set("WZ", gen::cycle({"北京市海淀区上地十街5号", "北京市昌平区回龙观东大街8号",
                                           "北京市大兴区亦庄经济开发区"}))
                    .set("BMID", gen::integer(4))
                    .set("BZ", gen::cycle({"日常进出货", "成品存放", "原材料存放"})));
  out.push_back(planFor(m, "YGLB").set("MC", gen::cycle({"正式员工", "合同工", "临时工"})));
  auto person = [](auto pick) {
    return [pick](const Row& r) { return Variant::bstrUtf8(pick(SampleModel::employee(r.i + 1))); };
  };
  const double hired = SampleModel::date(2003, 3, 1);
  out.push_back(
      planFor(m, "YG")
          .set("BH", person([](const SampleModel::Employee& e) { return e.code; }))
          .set("XM", person([](const SampleModel::Employee& e) { return e.name; }))
          .set("XB", person([](const SampleModel::Employee& e) { return e.sex; }))
          .set("BMID", [](const Row& r) { return Variant::i4(SampleModel::employee(r.i + 1).department); })
          .set("YGLBID", gen::ints({1, 1, 1, 2, 1, 1, 2, 1}))
          .set("ZW", person([](const SampleModel::Employee& e) { return e.duty; }))
          .set("CSRQ", [](const Row& r) { return Variant::date(SampleModel::date(1970 + r.i * 2, 1 + r.i, 10 + r.i)); })
          .set("XL", gen::cycle({"本科", "大专", "硕士", "本科"}))
          .set("DH", [](const Row& r) { return Variant::bstrUtf8(format("010-6234%04d", 5600 + r.i)); })
          .set("ZZ", gen::cycle({"北京市海淀区学院路30号", "北京市朝阳区望京西路12号", "北京市西城区西单北大街6号"}))
          .set("SFZH", [](const Row& r) { return Variant::bstrUtf8(format("1101081975010%05d", 1200 + r.i)); })
          .set("JG", gen::cycle({"北京", "河北保定", "山东济南", "河南郑州"}))
          .set("YB", gen::text("100080"))
          .set("RZRQ", [hired](const Row& r) { return Variant::date(hired + 95 * r.i); })
          .set("JBGZ", [](const Row& r) { return Variant::r8(SampleModel::employee(r.i + 1).salary); })
          .set("YWYBZ", gen::flags({true, true, true, true, false, false, false, false}))
          .set("MZ", gen::text("汉族"))
          .set("XLLB", gen::text("全日制"))
          .set("DACODE", gen::numbered("DA", 4))
          .set("JSZC", gen::cycle({"经济师", "助理经济师", "会计师"}))
          .set("XUEXIAO", gen::cycle({"北京工商大学", "首都经济贸易大学", "中国人民大学"}))
          .set("ZUANYE", gen::cycle({"市场营销", "国际贸易", "会计学"}))
          .set("BYRQ", [](const Row& r) { return Variant::date(SampleModel::date(1994 + r.i, 7, 1)); })
          .set("LXDH", [](const Row& r) { return Variant::bstrUtf8(format("010-6234%04d", 5600 + r.i)); })
          .set("MOVEPHONE", [](const Row& r) { return Variant::bstrUtf8(format("1381001%04d", 2300 + r.i)); })
          .set("SFZCODE", [](const Row& r) { return Variant::bstrUtf8(format("1101081975010%05d", 1200 + r.i)); })
          .set("LAIYUAN", gen::cycle({"社会招聘", "校园招聘"}))
          .set("GZKH", [](const Row& r) { return Variant::bstrUtf8(format("62220200000%04d", 3300 + r.i)); })
          .set("ZZMM", gen::cycle({"群众", "党员", "团员"}))
          .set("PYXS", gen::text("合同制"))
          .set("QDRQ", [hired](const Row& r) { return Variant::date(hired + 95 * r.i); })
          .set("HTQX", gen::text("3年"))
          .set("HTDQSJ", [hired](const Row& r) { return Variant::date(hired + 95 * r.i + 3 * 365); })
          .set("YGIMAGE", gen::bytes(samplePicture()))
          .set("YBH", gen::numbered("YB", 6))
          .set("SBH", gen::numbered("SB", 6))
          .set("GJJ", gen::numbered("GJJ", 6))
          .set("DAH", gen::numbered("DA", 4))
          .set("ZZRQ", [hired](const Row& r) { return Variant::date(hired + 95 * r.i + 90); })
          .set("DWGL", gen::ints({5, 5, 4, 4, 4, 3, 3, 3}))
          .set("GL", gen::ints({12, 8, 10, 6, 9, 7, 5, 20}))
          .set("ZJM", gen::cycle({"ZW", "WF", "LN", "LY", "CJ", "YF", "ZL", "SL"}))
          .set("GRJL", gen::text("入职以来一直在本公司工作，业绩良好。"))
          .set("JTCY", gen::text("父亲、母亲、配偶")));
}

// Goods and their categories.
void addGoodsPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  using Goods = SampleModel::GoodsEntry;
  out.push_back(planFor(m, "HPLB")
                    .set("MC", gen::cycle({"电子产品", "办公用品", "日用百货", "食品饮料"}))
                    .set("BZ", gen::cycle({"手机、电脑", "纸张、文具", "日常用品", "餐饮原料"})));
  out.push_back(
      planFor(m, "Pub_ItemType")
          .set("ItemType", gen::id())
          .set("TypeName", gen::cycle({"电子产品", "办公用品", "手机", "电脑", "纸张", "文具", "餐饮", "菜品", "酒水"}))
          .set("ParentCode", gen::ints({0, 0, 1, 1, 2, 2, 0, 7, 7}))
          .set("TypeCode", gen::cycle({"01", "02", "0101", "0102", "0201", "0202", "03", "0301", "0302"})));
  out.push_back(planFor(m, "Pub_Project")
                    .set("ItemType", gen::id())
                    .set("TypeName", gen::cycle({"工程项目", "维修项目", "新建工程", "改造工程"}))
                    .set("ParentCode", gen::ints({0, 0, 1, 1})));
  out.push_back(planFor(m, "CYJSDW").set("MC", gen::cycle({"份", "盘", "例", "位"})));
  out.push_back(planFor(m, "HPHSFF")
                    .set("MC", gen::cycle({"先进先出法", "加权平均法", "个别计价法"}))
                    .set("LB", gen::ints({1, 2, 3})));
  out.push_back(planFor(m, "HPHSFS").set("MC", gen::cycle({"按数量核算", "按批次核算"})));

  auto goods = [](auto pick) { return [pick](const Row& r) { return pick(SampleModel::goods(r.i), r.i); }; };
  out.push_back(
      planFor(m, "HP")
          .set("BH", gen::numbered("HP", 6))
          .set("BARCODE", [](const Row& r) { return Variant::bstrUtf8(format("690123%07d", r.i + 1)); })
          .set("HPLBID", goods([](const Goods& g, int) { return Variant::i4(g.category); }))
          .set("PM", goods([](const Goods& g, int i) {
                 std::string s = g.name;
                 if (i >= SampleModel::kGoodsKinds) s += format("-%06d", i + 1);
                 return Variant::bstrUtf8(s);
               }))
          .set("GG", goods([](const Goods& g, int) { return Variant::bstrUtf8(g.gg); }))
          .set("DW", goods([](const Goods& g, int) { return Variant::bstrUtf8(g.unit); }))
          .set("HPHSFFID", gen::ints({2}))
          .set("HPHSFSID", gen::ints({1}))
          .set("JJ", [](const Row& r) { return Variant::r8(SampleModel::goodsCost(r.i)); })
          .set("JJJ", [](const Row& r) { return Variant::r8(SampleModel::goodsSalePrice(r.i)); })
          .set("JQJ", [](const Row& r) { return Variant::r8(std::round(SampleModel::goodsCost(r.i) * 11.5) / 10.0); })
          .set("JHY", [](const Row& r) { return Variant::r8(std::round(SampleModel::goodsSalePrice(r.i) * 9.5) / 10); })
          .set("JVIP", [](const Row& r) { return Variant::r8(std::round(SampleModel::goodsSalePrice(r.i) * 9) / 10); })
          .set("SX", gen::real(500))
          .set("XX", gen::real(10))
          // Electronics are kept in the main warehouse and are products;
          // paper, stationery and food are materials in the third.
          .set("CKID", goods([](const Goods& g, int) { return Variant::i4(g.category <= 4 ? 1 : 3); }))
          .set("IsMaterial", goods([](const Goods& g, int) { return Variant::boolean(g.category >= 5); }))
          .set("IsProduct", goods([](const Goods& g, int) { return Variant::boolean(g.category <= 4); }))
          .set("ZJM", goods([](const Goods& g, int) { return Variant::bstrUtf8(g.mnemonic); }))
          .set("SX1", goods([](const Goods& g, int) { return Variant::bstrUtf8(g.color); }))
          .set("SX3", goods([](const Goods& g, int) { return Variant::bstrUtf8(g.origin); })));
}

// Units, prices, stock and pictures of the goods; kinds of other stock changes.
void addGoodsStockPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  // Units: goods 1..6 each in its own unit and in cartons.
  out.push_back(
      planFor(m, "hp_dw")
          .set("RECID", gen::numbered("HPDW", 4))
          .set("HPID", [](const Row& r) { return Variant::i4(1 + r.i / 2); })
          .set("DW",
               [](const Row& r) { return Variant::bstrUtf8(r.i % 2 == 0 ? SampleModel::goods(r.i / 2).unit : "箱"); })
          .set("ISBASE", gen::flags({true, false}))
          .set("ISYW", gen::flags({true, false}))
          .set("RATE", [](const Row& r) { return Variant::r8(r.i % 2 == 0 ? 1 : (r.i / 2 < 3 ? 10 : 5)); }));
  out.push_back(planFor(m, "Sjzl")
                    .set("XH", gen::id())
                    .set("MC", gen::cycle({"零售价", "批发价", "会员价"}))
                    .set("BZ", gen::cycle({"门店零售", "批发客户", "会员客户"})));
  // One price of each kind for each of the 16 goods of the first block.
  out.push_back(planFor(m, "HPSJ")
                    .set("SJZLID", [](const Row& r) { return Variant::i4(1 + r.i / SampleModel::kGoodsKinds); })
                    .set("HPID", [](const Row& r) { return Variant::i4(1 + r.i % SampleModel::kGoodsKinds); })
                    .set("SJ", [](const Row& r) {
                      static const double factor[] = {1.0, 0.9, 0.95};
                      int g = r.i % SampleModel::kGoodsKinds;
                      double price = SampleModel::goodsSalePrice(g) * factor[r.i / SampleModel::kGoodsKinds];
                      return Variant::r8(std::round(price * 10) / 10);
                    }));
  // Stock of the trade goods in each warehouse.
  out.push_back(planFor(m, "HPKC")
                    .set("CKID", [](const Row& r) { return Variant::i4(1 + r.i / SampleModel::kTradeGoodsKinds); })
                    .set("HPID", [](const Row& r) { return Variant::i4(1 + r.i % SampleModel::kTradeGoodsKinds); })
                    .set("QCS", [](const Row& r) { return Variant::r8(20 + (r.i * 13) % 80); })
                    .set("JCS", [](const Row& r) { return Variant::r8(10 + (r.i * 29) % 150); }));
  // Pictures of the first goods; YGID holds the goods id the picture shows.
  out.push_back(planFor(m, "hp_pict")
                    .set("YGID", gen::id())
                    .set("Ext", gen::text(".png"))
                    .set("pict", gen::bytes(samplePicture()))
                    .set("V1", gen::cycle({"正面图", "侧面图", "包装图"}))
                    .set("V2", gen::text("产品图片")));
  out.push_back(planFor(m, "QTKCBDLX")
                    .set("MC", gen::cycle({"盘盈入库", "报损出库", "赠品入库", "借出出库"}))
                    .set("RKL", gen::flags({true, false, true, false}))
                    .set("THBZ", gen::flags({false, false, false, true})));
}

}  // namespace

std::vector<TablePlan> masterPlans(const SampleModel& m) {
  return plansOf(
      m, {addTreePlans, addPartnerPlans, addMoneyPlans, addWarehouseAndStaffPlans, addGoodsPlans, addGoodsStockPlans});
}

}  // namespace rvz::client::sample

// Sample rows of customer relations, fixed assets, workshops, property
// management, catering and membership.
#include <cstdio>

#include "client/sample/sample_model.h"

namespace rvz::client::sample {

namespace {

Variant textOf(const std::string& s) { return Variant::bstrUtf8(s); }

double on(int month, int day) { return SampleModel::date(2008, month, day); }

// The estate's rooms; fee and payment records, complaints and repairs name
// a room by its code.
const std::vector<std::string> kRooms = {"1-1-101", "1-1-102", "1-2-201", "2-1-101", "2-1-302", "2-2-501"};
const std::vector<std::string> kResidents = {"王建国", "李秀英", "张志强", "刘海燕", "陈晓明", "杨丽华"};

Gen room(int offset = 0) {
  return [offset](const Row& r) { return textOf(kRooms[static_cast<size_t>(r.i + offset) % kRooms.size()]); };
}
Gen resident(int offset = 0) {
  return [offset](const Row& r) { return textOf(kResidents[static_cast<size_t>(r.i + offset) % kResidents.size()]); };
}

// The property goods and facilities that repair lines use.
struct Part {
  const char* code;
  const char* name;
  const char* unit;
  const char* type;
  const char* gg;
  const char* brand;
  double price;
};
constexpr Part kGoods[] = {
    {"WP001", "节能灯管", "支", "电料", "T5 28W", "飞利浦", 18},
    {"WP002", "水龙头", "个", "水暖", "DN15", "九牧", 45},
    {"WP003", "防盗门锁", "把", "五金", "C级锁芯", "王力", 120},
    {"WP004", "电线", "米", "电料", "BV2.5", "熊猫", 2.5},
};
constexpr Part kFacilities[] = {
    {"SS001", "电梯", "部", "电梯", "1000kg", "奥的斯", 260000},
    {"SS002", "消防栓", "个", "消防", "SN65", "天广", 850},
    {"SS003", "监控摄像头", "个", "安防", "红外 420线", "海康威视", 680},
};

// Repair lines: line (h, j) uses part (h + j) % 4 of the property goods.
TablePlan repairLines(const SampleModel& m, const std::string& table, const std::string& header) {
  TablePlan p = linesFor(m, table, header, SampleModel::kLinesPerHeader);
  auto part = [](const Row& r) -> const Part& { return kGoods[(r.h + r.j) % 4]; };
  auto qty = [](const Row& r) { return 1.0 + (r.h + 2 * r.j) % 3; };
  p.set("F_code",
        [](const Row& r) {
          char buf[64];
          std::snprintf(buf, sizeof buf, "WX%04d", r.h + 1);
          return textOf(buf);
        })
      .set("F_GOODcode", [part](const Row& r) { return textOf(part(r).code); })
      .set("F_GOODname", [part](const Row& r) { return textOf(part(r).name); })
      .set("F_unit", [part](const Row& r) { return textOf(part(r).unit); })
      .set("F_type", [part](const Row& r) { return textOf(part(r).type); })
      .set("F_spec", [part](const Row& r) { return textOf(part(r).gg); })
      .set("F_pinpai", [part](const Row& r) { return textOf(part(r).brand); })
      .set("F_address", gen::text("物业仓库"))
      .set("DJ", [part](const Row& r) { return Variant::r8(part(r).price); })
      .set("SL", [qty](const Row& r) { return Variant::r8(qty(r)); })
      .set("JE", [part, qty](const Row& r) { return Variant::r8(part(r).price * qty(r)); });
  return p;
}

// The material cost of repair bill h: its lines' amounts.
double repairMaterial(int h) {
  double sum = 0;
  for (int j = 0; j < SampleModel::kLinesPerHeader; ++j) sum += kGoods[(h + j) % 4].price * (1.0 + (h + 2 * j) % 3);
  return sum;
}

TablePlan repairHeader(const SampleModel& m, const std::string& table) {
  TablePlan p = planFor(m, table);
  p.set("F_code",
        [](const Row& r) {
          char buf[64];
          std::snprintf(buf, sizeof buf, "WX%04d", r.i + 1);
          return textOf(buf);
        })
      .set("F_empname", gen::cycle({"物业前台小周", "物业前台小吴"}))
      .set("F_bxDate", gen::billDate())
      .set("F_clempname", gen::cycle({"维修工老马", "维修工小郑"}))
      .set("F_mem1", gen::cycle({"灯管不亮", "水龙头漏水", "门锁损坏", "线路老化"}))
      .set("F_fwPrice", gen::real(30))
      .set("F_wlPrice", [](const Row& r) { return Variant::r8(repairMaterial(r.i)); })
      .set("F_xfDate", [](const Row& r) { return Variant::date(SampleModel::billDate(r.i) + 1); })
      .set("F_totalprice", [](const Row& r) { return Variant::r8(30 + repairMaterial(r.i)); })
      .set("F_mem2", gen::text("已修复"))
      .set("F_jibie", gen::cycle({"一般", "紧急"}));
  return p;
}

// Customer relations: the first customers, followed by the sales staff.
void addCustomerRelationPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(planFor(m, "Crm_Custgj")
                    .set("id", gen::id())
                    .set("custid", gen::id())
                    .set("custphase", gen::cycle({"初次接触", "需求确认", "商务谈判"}))
                    .set("custstate", gen::cycle({"跟进中", "重点跟进", "跟进中"}))
                    .set("people", gen::cycle({"张伟", "王芳"}))
                    .set("lasttime", gen::days({on(8, 28), on(8, 26), on(8, 20)}))
                    .set("selltime", gen::days({on(9, 15), on(9, 10), on(9, 30)})));
  out.push_back(planFor(m, "Crm_CustVisit")
                    .set("id", gen::id())
                    .set("custid", gen::ints({1, 2, 1}))
                    .set("visittime", gen::days({on(8, 28), on(8, 26), on(8, 12)}))
                    .set("personnel", gen::cycle({"张伟", "王芳", "张伟、王芳"}))
                    .set("visitcontent", gen::cycle({"介绍新款笔记本电脑", "商谈秋季订货", "回访售后服务"}))
                    .set("visitresult", gen::cycle({"有意向", "已下订单", "满意"})));
  out.push_back(planFor(m, "Crm_HeTong")
                    .set("id", gen::id())
                    .set("custid", gen::ints({1, 3, 4}))
                    .set("bargainname", gen::cycle({"2008年度供货合同", "电脑采购合同", "办公用品供货合同"}))
                    .set("balancemoney", gen::ints({50000, 0, 12000}))
                    .set("bargainmoney", gen::ints({200000, 68000, 30000}))
                    .set("bargaindate", gen::days({on(1, 8), on(6, 18), on(7, 22)}))
                    .set("people", gen::cycle({"张伟", "张伟", "王芳"}))
                    .set("filepath", gen::cycle({"合同\\2008001.doc", "合同\\2008015.doc", "合同\\2008021.doc"}))
                    .set("finish", gen::cycle({"执行中", "已完成", "执行中"}))
                    .set("remark", gen::text("按月供货，月结30天"))
                    .set("bargaincode", gen::numbered("HT2008-", 3))
                    .set("SigningMan", gen::text("孙丽"))
                    .set("TakeEffect", gen::days({on(1, 10), on(6, 20), on(8, 1)}))
                    .set("ExpireDate", gen::days({on(12, 31), on(8, 31), SampleModel::date(2009, 7, 31)})));
  out.push_back(
      planFor(m, "Crm_LinkMan")
          .set("id", gen::id())
          .set("CustId", gen::ints({1, 2, 3}))
          .set("ContactName", gen::cycle({"张经理", "李经理", "王主任"}))
          .set("MainContact", gen::yes(true))
          .set("Department", gen::cycle({"采购部", "采购部", "办公室"}))
          .set("Email", gen::cycle({"zhang@example.cn", "li@example.cn", "wang@example.cn"}))
          .set("Address", gen::cycle({"北京市朝阳区建国路1号", "天津市和平区南京路2号", "上海市黄浦区南京东路3号"}))
          .set("PostCode", gen::cycle({"100020", "300010", "200001"}))
          .set("Tel", gen::cycle({"010-65000001", "022-65000038", "021-65000075"}))
          .set("Mobile", gen::cycle({"13801000001", "13602200002", "13902100003"}))
          .set("Fax", gen::cycle({"010-65900001", "022-65900038", "021-65900075"}))
          .set("Birthday", gen::days({SampleModel::date(1968, 5, 12), SampleModel::date(1972, 9, 3),
                                      SampleModel::date(1975, 11, 20)}))
          .set("introduce", gen::text("负责采购决策"))
          .set("F_User", gen::cycle({"张伟", "王芳", "张伟"}))
          .set("sPosition", gen::cycle({"采购经理", "采购经理", "办公室主任"})));
  out.push_back(planFor(m, "Crm_SaleChance")
                    .set("CustId", gen::ints({1, 5, 6}))
                    .set("OppLevel", gen::cycle({"高", "中", "低"}))
                    .set("ExceptMoney", gen::reals({85000, 32000, 12500.5}))
                    .set("ProChance", gen::cycle({"80%", "50%", "20%"}))
                    .set("People", gen::cycle({"张伟", "王芳", "王芳"}))
                    .set("CompleteDate", gen::days({on(9, 30), on(10, 31), on(12, 15)}))
                    .set("Product", gen::cycle({"笔记本电脑", "复印纸", "手机"}))
                    .set("Remark", gen::text("需要报价单"))
                    .set("Topic", gen::cycle({"秋季电脑更新", "年度办公用品采购", "员工手机采购"}))
                    .set("State", gen::cycle({"跟进中", "报价中", "初步接触"})));
}

// Fixed assets: their kinds and the register.
void addAssetRegisterPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(planFor(m, "zc_ItemType")
                    .set("id", gen::id())
                    .set("Pid", gen::ints({0, 1, 1, 0, 4}))
                    .set("Name", gen::cycle({"办公设备", "电脑", "打印机", "运输设备", "货车"}))
                    .set("Flag", gen::ints({0, 1, 1, 0, 1}))
                    .set("OrderIndex", gen::id()));
  out.push_back(planFor(m, "zc_item")
                    .set("ItemNO", gen::numbered("ZC2008", 3))
                    .set("BARCODE", gen::numbered("ZC", 8))
                    .set("ItemName", gen::cycle({"联想台式电脑", "惠普激光打印机", "东风货车", "会议桌"}))
                    .set("GG", gen::cycle({"启天M7150", "LaserJet 1020", "EQ1090", "2.4米"}))
                    .set("ItemType", gen::cycle({"电脑", "打印机", "货车", "办公家具"}))
                    .set("Config", gen::cycle({"双核2.0G/1G/160G", "A4黑白", "5吨", "实木"}))
                    .set("InterNetNo", gen::cycle({"192.168.1.21", "192.168.1.30", "", ""}))
                    .set("CompanyPro", gen::cycle({"联想集团", "惠普公司", "东风汽车", "北京家具厂"}))
                    .set("CompanyDate", gen::cycle({"2007-03-15", "2007-03-15", "2006-10-08", "2005-06-01"}))
                    .set("IncType", gen::text("购入"))
                    .set("Depart", gen::cycle({"销售部", "财务部", "仓储部", "总经理室"}))
                    .set("Use", gen::cycle({"在用", "在用", "在用", "闲置"}))
                    .set("Area", gen::cycle({"二楼销售部", "三楼财务部", "总仓库", "三楼会议室"}))
                    .set("BgEmpoyee", gen::cycle({"王芳", "杨帆", "陈静", "赵磊"}))
                    .set("AccountDate", gen::cycle({"2007-03", "2007-03", "2006-10", "2005-06"}))
                    .set("Qty", gen::real(1))
                    .set("Unit", gen::cycle({"台", "台", "辆", "张"}))
                    .set("Price", gen::reals({4800, 1600, 89000, 2400}))
                    .set("OldValue", gen::reals({4800, 1600, 89000, 2400}))
                    .set("Ljzj", gen::reals({1368, 456, 31713, 1140}))
                    .set("OnlyValue", gen::reals({3432, 1144, 57287, 1260}))
                    .set("Onlyzl", gen::real(5))
                    .set("zjFunction", gen::text("平均年限法"))
                    .set("UseYear", gen::ints({5, 5, 8, 10}))
                    .set("DjDate", gen::cycle({"2007-03-16", "2007-03-16", "2006-10-09", "2005-06-02"}))
                    .set("DjEmpoyee", gen::text("杨帆"))
                    .set("BXDate", gen::days({SampleModel::date(2010, 3, 15), SampleModel::date(2008, 3, 15),
                                              SampleModel::date(2009, 10, 8), SampleModel::date(2006, 6, 1)}))
                    .set("BeginDate", gen::days({SampleModel::date(2007, 4, 1), SampleModel::date(2007, 4, 1),
                                                 SampleModel::date(2006, 11, 1), SampleModel::date(2005, 7, 1)})));
}

// Fixed assets: changes, counts, loans, transfers, repairs and returns of the
// first assets, and the projects planned.
void addAssetBillPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  auto asset = [](TablePlan p) {
    p.set("bh", gen::cycle({"ZC2008001", "ZC2008002", "ZC2008003"}))
        .set("mc", gen::cycle({"联想台式电脑", "惠普激光打印机", "东风货车"}))
        .set("xh", gen::cycle({"启天M7150", "LaserJet 1020", "EQ1090"}))
        .set("BillDate", gen::days({on(8, 28), on(8, 20), on(8, 12)}))
        .maybe("xxpz", gen::cycle({"双核2.0G/1G/160G", "A4黑白", "5吨"}))
        .maybe("syqk", gen::cycle({"正常使用", "正常使用", "需要保养"}))
        .maybe("pzr", gen::text("孙丽"))
        .maybe("bz", gen::text(""));
    return p;
  };
  out.push_back(asset(planFor(m, "zc_bg"))
                    .set("bgyy", gen::cycle({"部门调整", "升级配置", "更换使用人"}))
                    .set("bgqk", gen::cycle({"由销售部转财务部", "内存升级到2G", "使用人改为刘洋"}))
                    .set("czy", gen::text("杨帆"))
                    .set("jbr", gen::text("陈静")));
  out.push_back(asset(planFor(m, "zc_ql"))
                    .set("sybm", gen::cycle({"销售部", "财务部", "仓储部"}))
                    .set("bgry", gen::cycle({"王芳", "杨帆", "陈静"}))
                    .set("cfdd", gen::cycle({"二楼销售部", "三楼财务部", "总仓库"}))
                    .set("qlr", gen::text("杨帆"))
                    .set("qlfs", gen::text("年中清查")));
  out.push_back(asset(planFor(m, "zc_jc"))
                    .set("jcbm", gen::cycle({"财务部", "财务部", "仓储部"}))
                    .set("jybm", gen::cycle({"销售部", "人事部", "采购部"}))
                    .set("jcr", gen::cycle({"杨帆", "杨帆", "陈静"}))
                    .set("jyr", gen::cycle({"王芳", "赵磊", "刘洋"}))
                    .set("jcrq", gen::days({on(8, 28), on(8, 20), on(8, 12)}))
                    .set("nhrq", gen::days({on(9, 28), on(9, 20), on(9, 12)}))
                    .set("jysl", gen::text("1")));
  out.push_back(asset(planFor(m, "zc_zy"))
                    .set("BillNo", gen::id())
                    .set("ycbm", gen::cycle({"销售部", "财务部", "仓储部"}))
                    .set("ycfdd", gen::cycle({"二楼销售部", "三楼财务部", "总仓库"}))
                    .set("ybgry", gen::cycle({"王芳", "杨帆", "陈静"}))
                    .set("zrbm", gen::cycle({"采购部", "人事部", "销售部"}))
                    .set("xcfdd", gen::cycle({"二楼采购部", "三楼人事部", "二楼销售部"}))
                    .set("xbgry", gen::cycle({"刘洋", "赵磊", "张伟"}))
                    .set("zyr", gen::text("陈静"))
                    .set("zyrq", gen::days({on(8, 28), on(8, 20), on(8, 12)})));
  out.push_back(asset(planFor(m, "zc_wx"))
                    .set("sxrq", gen::days({on(8, 25), on(8, 18), on(8, 10)}))
                    .set("gzxx", gen::cycle({"无法开机", "卡纸", "刹车异响"}))
                    .set("wxrq", gen::days({on(8, 28), on(8, 20), on(8, 12)}))
                    .set("wxzk", gen::text("已修好"))
                    .set("wxfy", gen::ints({150, 80, 1200}))
                    .set("pjsm", gen::cycle({"更换电源", "更换搓纸轮", "更换刹车片"}))
                    .set("wxdw", gen::cycle({"联想服务站", "惠普服务站", "东风4S店"}))
                    .set("wxr", gen::cycle({"李师傅", "王师傅", "赵师傅"})));
  // Returns of lent assets: rows exist, though the declared SQL of ZC_Gh
  // reads none of them.
  out.push_back(asset(planFor(m, "zc_gh"))
                    .set("jcbm", gen::text("财务部"))
                    .set("jybm", gen::cycle({"销售部", "人事部", "采购部"}))
                    .set("jcr", gen::text("杨帆"))
                    .set("jyr", gen::cycle({"王芳", "赵磊", "刘洋"}))
                    .set("jcrq", gen::days({on(7, 28), on(7, 20), on(7, 12)}))
                    .set("nhrq", gen::days({on(8, 28), on(8, 20), on(8, 12)}))
                    .set("jysl", gen::text("1"))
                    .set("ghrq", gen::days({on(8, 28), on(8, 20), on(8, 12)}))
                    .set("zxr", gen::text("杨帆"))
                    .set("zxpzr", gen::text("孙丽")));
  out.push_back(planFor(m, "zc_ProjectPlanning_1")
                    .set("A", gen::cycle({"办公室装修", "仓库扩建", "车辆购置"}))
                    .set("B", gen::cycle({"赵磊", "陈静", "杨帆"}))
                    .set("C", gen::cycle({"2008-09-01", "2008-10-01", "2008-11-01"}))
                    .set("D", gen::cycle({"2008-09-30", "2008-12-31", "2008-11-30"}))
                    .set("E", gen::cycle({"已批准", "待审批", "计划中"}))
                    .set("F", gen::cycle({"50000", "300000", "120000"})));
}

// Workshops.
void addWorkshopPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(planFor(m, "Cj")
                    .set("XH", gen::id())
                    .set("MC", gen::cycle({"装配车间", "包装车间", "检验车间"}))
                    .set("WZ", gen::cycle({"厂区一号楼", "厂区二号楼", "厂区一号楼"}))
                    .set("BZ", gen::cycle({"整机装配", "成品包装", "出厂检验"})));
}

// Property management: the estates, the residents' rooms and their complaints.
void addEstatePlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(planFor(m, "Wy_Project")
                    .set("id", gen::id())
                    .set("Pid", gen::ints({0, 1, 1, 0}))
                    .set("Name", gen::cycle({"阳光花园", "一期", "二期", "翠湖小区"}))
                    .set("Orderby", gen::id())
                    .set("Flag", gen::ints({0, 1, 1, 0})));
  out.push_back(planFor(m, "Wy_xiaoqu")
                    .set("F_code", gen::numbered("XQ", 3))
                    .set("F_name", gen::cycle({"阳光花园", "翠湖小区"}))
                    .set("F_address", gen::cycle({"北京市朝阳区望京阜通东大街6号", "北京市海淀区翠湖南路8号"}))
                    .set("F_mem1", gen::text("2005年交付"))
                    .set("F_LYamount", gen::ints({12, 8}))
                    .set("F_roomAmount", gen::ints({480, 320}))
                    .set("F_cltAmount", gen::ints({456, 300}))
                    .set("F_kzAmount", gen::ints({24, 20})));
  out.push_back(planFor(m, "Wy_ClientRoom")
                    .set("F_reccode", gen::numbered("KF", 4))
                    .set("F_Roomcode", room())
                    .set("F_DanYuan", gen::cycle({"1单元", "1单元", "2单元", "1单元", "1单元", "2单元"}))
                    .set("F_RoomType", gen::cycle({"三室两厅", "两室一厅", "两室两厅"}))
                    .set("F_chenshu", gen::cycle({"1", "1", "2", "1", "3", "5"}))
                    .set("F_buildArea", gen::reals({128.5, 89.6, 102.3, 128.5, 89.6, 146.2}))
                    .set("F_useArea", gen::reals({105.2, 72.4, 84.1, 105.2, 72.4, 120.8}))
                    .set("F_chanquan", gen::text("个人产权"))
                    .set("F_xiaoquName", gen::text("阳光花园"))
                    .set("F_useStatus", gen::cycle({"已入住", "已入住", "已入住", "已入住", "空置", "已入住"}))
                    .set("F_useDate", gen::day(SampleModel::date(2005, 10, 1)))
                    .set("F_cltName", resident())
                    .set("F_sex", gen::cycle({"男", "女", "男", "女", "男", "女"}))
                    .set("F_SFZcode",
                         [](const Row& r) {
                           char buf[64];
                           std::snprintf(buf, sizeof buf, "11010519700101%04d", 1001 + r.i);
                           return textOf(buf);
                         })
                    .set("F_unit", gen::cycle({"北京某科技公司", "北京某医院", "北京某中学"}))
                    .set("F_phone",
                         [](const Row& r) {
                           char buf[64];
                           std::snprintf(buf, sizeof buf, "010-6478%04d", 1001 + r.i);
                           return textOf(buf);
                         })
                    .set("F_handphone",
                         [](const Row& r) {
                           char buf[64];
                           std::snprintf(buf, sizeof buf, "1391100%04d", 1001 + r.i);
                           return textOf(buf);
                         })
                    .set("F_address", [](const Row& r) { return textOf("阳光花园" + kRooms[r.i % 6]); }));
  out.push_back(planFor(m, "Wy_ZHTS")
                    .set("F_code", gen::numbered("TS", 4))
                    .set("F_empName", gen::cycle({"物业前台小周", "物业前台小吴"}))
                    .set("F_cltcode", room())
                    .set("F_cltname", resident())
                    .set("F_tsDate", gen::days({on(8, 27), on(8, 22), on(8, 15)}))
                    .set("F_clDate", gen::days({on(8, 28), on(8, 23), on(8, 15)}))
                    .set("F_clempname", gen::text("物业经理老郑"))
                    .set("F_tsMem1", gen::cycle({"楼道灯不亮", "夜间噪音扰民", "垃圾清运不及时"}))
                    .set("F_tsmem2", gen::text("已处理并回访"))
                    .set("F_jibie", gen::cycle({"一般", "一般", "重要"})));
}

// Property management: facilities, parking spaces and the goods in store.
void addFacilityPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(planFor(m, "Wy_PublicSet")
                    .set("F_code", [](const Row& r) { return textOf(kFacilities[r.i % 3].code); })
                    .set("F_name", [](const Row& r) { return textOf(kFacilities[r.i % 3].name); })
                    .set("F_type", [](const Row& r) { return textOf(kFacilities[r.i % 3].type); })
                    .set("F_pinpai", [](const Row& r) { return textOf(kFacilities[r.i % 3].brand); })
                    .set("F_spec", [](const Row& r) { return textOf(kFacilities[r.i % 3].gg); })
                    .set("F_address", gen::cycle({"1号楼", "各楼层", "小区大门"}))
                    .set("F_amount", gen::reals({2, 48, 16}))
                    .set("F_price", [](const Row& r) { return Variant::r8(kFacilities[r.i % 3].price); })
                    .set("F_totalprice",
                         [](const Row& r) {
                           static const double n[] = {2, 48, 16};
                           return Variant::r8(kFacilities[r.i % 3].price * n[r.i % 3]);
                         })
                    .set("F_mem", gen::text("定期维护")));
  out.push_back(planFor(m, "Wy_CarPos")
                    .set("F_code", gen::numbered("CW", 3))
                    .set("F_name", gen::cycle({"地下车位A-01", "地下车位A-02", "地面车位B-01", "地面车位B-02"}))
                    .set("F_area", gen::reals({12.5, 12.5, 15, 15}))
                    .set("F_SFprice", gen::reals({300, 300, 150, 150}))
                    .set("F_flag", gen::flags({true, true, true, false})));
  out.push_back(planFor(m, "Wy_CltCarPos")
                    .set("F_recCode", gen::numbered("CZ", 4))
                    .set("F_carCode", gen::numbered("CW", 3))
                    .set("F_carName", gen::cycle({"地下车位A-01", "地下车位A-02", "地面车位B-01"}))
                    .set("F_carArea", gen::reals({12.5, 12.5, 15}))
                    .set("F_cltCode", room())
                    .set("F_cltName", resident())
                    .set("F_useDate", gen::day(on(1, 1)))
                    .set("F_price", gen::reals({300, 300, 150}))
                    .set("F_year", gen::integer(2008))
                    .set("F_month", gen::integer(8))
                    .set("F_empName", gen::text("物业前台小周")));
  out.push_back(planFor(m, "Wy_Goods")
                    .set("F_code", [](const Row& r) { return textOf(kGoods[r.i % 4].code); })
                    .set("F_name", [](const Row& r) { return textOf(kGoods[r.i % 4].name); })
                    .set("F_unit", [](const Row& r) { return textOf(kGoods[r.i % 4].unit); })
                    .set("F_type", [](const Row& r) { return textOf(kGoods[r.i % 4].type); })
                    .set("F_pinpai", [](const Row& r) { return textOf(kGoods[r.i % 4].brand); })
                    .set("F_spec", [](const Row& r) { return textOf(kGoods[r.i % 4].gg); })
                    .set("F_address", gen::text("物业仓库"))
                    .set("F_price", [](const Row& r) { return Variant::r8(kGoods[r.i % 4].price); }));
}

// Property management: fees and payments, repairs of rooms and facilities.
void addFeeAndRepairPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  // Fees of August for every room: water, electricity and gas readings.
  auto reading = [](double base, double step) {
    return [base, step](const Row& r) { return Variant::r8(base + step * r.i); };
  };
  auto used = [](double step) { return [step](const Row& r) { return Variant::r8(step + r.i % 3); }; };
  auto fee = [](double step, double price) {
    return [step, price](const Row& r) { return Variant::r8((step + r.i % 3) * price); };
  };
  auto total = [](const Row& r) {
    double u = r.i % 3;
    return Variant::r8((8 + u) * 4 + (120 + u) * 0.48 + (15 + u) * 2.05 + 180);
  };
  out.push_back(planFor(m, "Wy_CltFyRec")
                    .set("F_RECcode", gen::numbered("FY2008", 4))
                    .set("F_fjcode", room())
                    .set("F_Year", gen::integer(2008))
                    .set("F_Month", gen::integer(8))
                    .set("F_SBcode", gen::numbered("SB", 4))
                    .set("F_SFbegin", reading(120, 10))
                    .set("F_SFend", [](const Row& r) { return Variant::r8(120 + 10 * r.i + 8 + r.i % 3); })
                    .set("F_SFamount", used(8))
                    .set("F_SFprice", gen::real(4))
                    .set("F_SFtotalprice", fee(8, 4))
                    .set("F_DBcode", gen::numbered("DB", 4))
                    .set("F_DFbegin", reading(2300, 100))
                    .set("F_DFend", [](const Row& r) { return Variant::r8(2300 + 100 * r.i + 120 + r.i % 3); })
                    .set("F_DFamount", used(120))
                    .set("F_DFprice", gen::real(0.48))
                    .set("F_DFtotalprice", fee(120, 0.48))
                    .set("F_QBcode", gen::numbered("QB", 4))
                    .set("F_QFbegin", reading(400, 20))
                    .set("F_QFend", [](const Row& r) { return Variant::r8(400 + 20 * r.i + 15 + r.i % 3); })
                    .set("F_QFamount", used(15))
                    .set("F_QFprice", gen::real(2.05))
                    .set("F_QFtotalprice", fee(15, 2.05))
                    .set("F_GGGLprice", gen::real(120))
                    .set("F_GGSSprice", gen::real(30))
                    .set("F_LJprice", gen::real(10))
                    .set("F_GLPrice", gen::real(20))
                    .set("F_totalprice", total)
                    .set("F_empName", gen::text("物业收费员小钱"))
                    .set("F_EditDate", gen::day(on(8, 30))));
  out.push_back(planFor(m, "Wy_CltFkRec")
                    .set("F_recCode", gen::numbered("JF2008", 4))
                    .set("F_fjCode", room())
                    .set("F_YJprice", gen::reals({310.5, 320, 312.4, 300}))
                    .set("F_JFprice", gen::reals({310.5, 300, 312.4, 0}))
                    .set("F_QFprice", gen::reals({0, 20, 0, 300}))
                    .set("F_jkDate", gen::days({on(8, 30), on(8, 29), on(8, 28), on(8, 30)}))
                    .set("F_editDate", gen::day(on(8, 30)))
                    .set("F_empname", gen::text("物业收费员小钱")));
  out.push_back(repairHeader(m, "Wy_ZHBXzb").set("F_cltname", resident()).set("F_cltcode", room()));
  out.push_back(repairLines(m, "Wy_ZHBX", "Wy_ZHBXzb"));
  out.push_back(repairHeader(m, "Wy_SBWXzb")
                    .set("F_SETname", [](const Row& r) { return textOf(kFacilities[r.i % 3].name); })
                    .set("F_SETcode", [](const Row& r) { return textOf(kFacilities[r.i % 3].code); }));
  out.push_back(repairLines(m, "Wy_SBWX", "Wy_SBWXzb"));
}

// Catering: the hall and a private room with their tables, orders of
// dishes at those tables, reservations.
void addCateringPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  const std::vector<std::string> tables = {"A01", "A02", "A03", "M01", "M02", "M03"};
  auto tableOf = [tables](int n) { return tables[static_cast<size_t>(n) % tables.size()]; };
  out.push_back(planFor(m, "CY_House")
                    .set("MC", gen::cycle({"大厅", "包间区", "牡丹厅"}))
                    .set("ParentCode", gen::ints({0, 0, 2})));
  out.push_back(planFor(m, "CY_HouseTable")
                    .set("HouseID", gen::ints({1, 1, 1, 3, 3, 3}))
                    .set("BH", gen::cycle(tables))
                    .set("Status", gen::cycle({"就餐", "空闲", "空闲", "预订", "就餐", "空闲"}))
                    .set("LowAmount", gen::reals({0, 0, 0, 500, 500, 500}))
                    .set("SL", gen::ints({4, 4, 6, 10, 10, 12}))
                    .set("DJBH", [](const Row& r) {
                      return r.i == 0 ? textOf(SampleModel::billNumber("KD", 0))
                                      : (r.i == 4 ? textOf(SampleModel::billNumber("KD", 1)) : Variant::null());
                    }));
  // Order h sits at table h of the list above.
  out.push_back(planFor(m, "CY_KDZB")
                    .set("CTBH", [tableOf](const Row& r) { return textOf(tableOf(r.i == 1 ? 4 : r.i)); })
                    .set("BKSL", gen::ints({2, 8, 4, 3}))
                    .set("ZK", gen::real(100))
                    .set("YSJE", [&m](const Row& r) { return Variant::r8(r.i < 2 ? 0 : m.billAmount("CY_KDZB", r.i)); })
                    .set("ServerName", gen::cycle({"服务员小王", "服务员小李"}))
                    .set("JSR", gen::text("收银员小赵"))
                    .set("Status", [](const Row& r) { return textOf(r.i < 2 ? "未结账" : "已结账"); })
                    .set("VIPName", [](const Row& r) { return r.i % 2 == 0 ? textOf("王小明") : Variant::null(); }));
  out.push_back(linesFor(m, "CY_KD", "CY_KDZB", SampleModel::kLinesPerHeader).set("CTBH", [tableOf](const Row& r) {
    return textOf(tableOf(r.h == 1 ? 4 : r.h));
  }));
  out.push_back(planFor(m, "CY_YD")
                    .set("F_Name", gen::cycle({"王先生", "李女士", "张先生"}))
                    .set("F_Phone", gen::cycle({"13901000011", "13801000022", "13601000033"}))
                    .set("F_HouseName", gen::cycle({"牡丹厅", "大厅", "牡丹厅"}))
                    .set("F_HouseTableName", gen::cycle({"M01", "A03", "M03"}))
                    .set("F_YDDate", gen::days({on(8, 28), on(8, 29), on(8, 30)}))
                    .set("F_YDTime", gen::days({on(8, 28) + 0.625, on(8, 29) + 0.4375, on(8, 30) + 0.375}))
                    .set("F_DDDate", gen::days({on(8, 30), on(8, 30), on(9, 2)}))
                    .set("F_DDTime", gen::days({on(8, 30) + 0.75, on(8, 30) + 0.5, on(9, 2) + 0.75}))
                    .set("F_Status", gen::cycle({"已预订", "已到店", "已预订"}))
                    .set("F_JE", gen::reals({500, 0, 300}))
                    .set("F_BZ", gen::cycle({"生日宴，需要蛋糕", "", "商务宴请"})));
}

// Membership.
void addMembershipPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(planFor(m, "vipLevel")
                    .set("LevelName", gen::cycle({"普通会员", "银卡会员", "金卡会员"}))
                    .set("ZK", gen::reals({98, 95, 90}))
                    .set("MinJF", gen::ints({0, 1000, 5000}))
                    .set("MaxJF", gen::ints({999, 4999, 99999})));
  out.push_back(
      planFor(m, "vip")
          .set("VIPID", [](const Row& r) { return Variant::i4(1001 + r.i); })
          .set("VIPCardID", gen::numbered("VIP", 6))
          .set("VIPName", gen::cycle({"王小明", "李晓红", "张大伟", "刘芳芳", "陈建华", "赵雪梅"}))
          .set("VIPPile", gen::ints({860, 2300, 6100, 150, 1200, 5400}))
          .set("VIPTelphone", gen::cycle({"010-64001001", "010-64001002", "010-64001003"}))
          .set("VIPAdress", gen::cycle({"北京市朝阳区望京", "北京市海淀区中关村", "北京市东城区东直门"}))
          .set("VIPIdCard",
               [](const Row& r) {
                 char buf[64];
                 std::snprintf(buf, sizeof buf, "11010819800101%04d", 2001 + r.i);
                 return textOf(buf);
               })
          .set("dBeginDate", gen::days({on(1, 5), on(2, 14), on(3, 8), on(5, 1), on(6, 18), on(7, 20)}))
          .set("nickname", gen::cycle({"小明", "红红", "大伟", "芳芳", "建华", "雪梅"}))
          .set("iCardMoney", gen::reals({500, 1000, 3000, 200, 800, 2000}))
          .set("cCardType", gen::text("储值卡"))
          .set("iPileMoney", gen::reals({860, 2300, 6100, 150, 1200, 5400}))
          .set("iOverPlusMoney", gen::reals({120, 350, 1800, 200, 60, 900}))
          .set("CustomerID", gen::integer(0))
          .set("dBirthDay", [](const Row& r) { return Variant::date(SampleModel::date(1975 + r.i, 1 + r.i, 8)); })
          .set("Pile", gen::ints({860, 2300, 6100, 150, 1200, 5400}))
          .set("StoreId", gen::integer(1))
          .set("Py", gen::cycle({"WXM", "LXH", "ZDW", "LFF", "CJH", "ZXM"}))
          .set("AllPile", gen::ints({1260, 3300, 8100, 150, 1600, 6400}))
          .set("GroupType", gen::text("个人"))
          .set("Sex", gen::cycle({"男", "女", "男", "女", "男", "女"}))
          .set("Mobile",
               [](const Row& r) {
                 char buf[64];
                 std::snprintf(buf, sizeof buf, "1380013%04d", 8001 + r.i);
                 return textOf(buf);
               })
          .set("QQ", [](const Row& r) { return textOf(std::to_string(88001 + r.i)); })
          .set("Email", [](const Row& r) { return textOf("vip" + std::to_string(1001 + r.i) + "@example.cn"); })
          .set("MemoText", gen::cycle({"", "喜欢数码产品", "大客户"}))
          .set("iDiscount",
               [](const Row& r) {
                 static const double zk[] = {98, 95, 90};
                 return Variant::r8(zk[r.i % 3]);
               })
          .set("LevelID", gen::ref(m, "vipLevel")));
  out.push_back(planFor(m, "VipSet").set("VipJF", gen::real(1)).set("S1", gen::text("每消费1元积1分")));
}

}  // namespace

std::vector<TablePlan> otherPlans(const SampleModel& m) {
  return plansOf(m, {addCustomerRelationPlans, addAssetRegisterPlans, addAssetBillPlans, addWorkshopPlans,
                     addEstatePlans, addFacilityPlans, addFeeAndRepairPlans, addCateringPlans, addMembershipPlans});
}

}  // namespace rvz::client::sample

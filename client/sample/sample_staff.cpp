// Sample rows of the staff records, the payroll and the office tables:
// each record names one of the sample's employees by id, code, name and
// department.
#include <cstdio>

#include "client/sample/sample_model.h"

namespace rvz::client::sample {

namespace {

Variant textOf(const std::string& s) { return Variant::bstrUtf8(s); }

// Row i of a staff table is about employee 1 + i % 8.
const SampleModel::Employee& about(const Row& r) { return SampleModel::employee(r.i + 1); }

// The employee's id, code, name and department under the column names a
// table uses for them; absent columns are skipped.
TablePlan& person(TablePlan& p, const char* id, const char* code, const char* name, const char* dept) {
  p.maybe(id, [](const Row& r) { return Variant::i4((r.i % SampleModel::employees()) + 1); })
      .maybe(code, [](const Row& r) { return textOf(about(r).code); })
      .maybe(name, [](const Row& r) { return textOf(about(r).name); })
      .maybe(dept, [](const Row& r) { return textOf(SampleModel::departmentName(about(r).department)); });
  return p;
}

TablePlan staffRecord(const SampleModel& m, const char* table) {
  TablePlan p = planFor(m, table);
  person(p, "F_empID", "F_code", "F_name", "F_dept");
  return p;
}

double on(int month, int day) { return SampleModel::date(2008, month, day); }

// Staff records: pictures, contracts and training.
void addStaffRecordPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(planFor(m, "yg_pict")
                    .set("YGID", gen::id())
                    .set("Ext", gen::text(".png"))
                    .set("pict", gen::bytes(samplePicture()))
                    .set("V1", gen::text("证件照"))
                    .set("V2", gen::text("2008年")));
  out.push_back(staffRecord(m, "Rs_Contract")
                    .set("F_HTcode", gen::numbered("HT2008", 3))
                    .set("F_HTname", gen::text("劳动合同"))
                    .set("F_HTtype", gen::cycle({"固定期限", "固定期限", "无固定期限"}))
                    .set("F_beginDate", gen::days({on(1, 1), on(3, 1), on(6, 1)}))
                    .set("F_endDate", gen::days({SampleModel::date(2010, 12, 31), SampleModel::date(2011, 2, 28),
                                                 SampleModel::date(2099, 12, 31)}))
                    .set("F_YFamount", gen::cycle({"6000", "3500", "5500"}))
                    .set("F_Memo1", gen::text("按公司标准合同签订"))
                    .set("F_HTstatus", gen::text("执行中"))
                    .set("F_FilePath",
                         [](const Row& r) {
                           char buf[64];
                           std::snprintf(buf, sizeof buf, "D:\\合同\\HT2008%03d.doc", r.i + 1);
                           return textOf(buf);
                         })
                    .set("F_PZemp", gen::text("孙丽"))
                    .set("F_useFlag", gen::yes(true))
                    .set("F_editDate", gen::day(on(8, 1))));
  out.push_back(
      planFor(m, "Rs_PX")
          .set("F_empID", gen::id())
          .set("F_Code", [](const Row& r) { return textOf(about(r).code); })
          .set("F_Name", [](const Row& r) { return textOf(about(r).name); })
          .set("F_Dept", [](const Row& r) { return textOf(SampleModel::departmentName(about(r).department)); })
          .set("F_fromDate", gen::days({on(3, 10), on(5, 12), on(7, 7)}))
          .set("F_toDate", gen::days({on(3, 14), on(5, 13), on(7, 11)}))
          .set("F_address", gen::cycle({"公司三楼会议室", "北京培训中心", "公司三楼会议室"}))
          .set("F_kecheng", gen::cycle({"销售技巧", "采购谈判", "ERP系统操作"}))
          .set("F_zhengshu", gen::text("结业证书"))
          .set("F_mem", gen::text("考核合格"))
          .set("F_pxname", gen::cycle({"销售人员培训", "采购人员培训", "新系统上线培训"})));
}

// Staff records: assessments, transfers, rewards and penalties, pay changes,
// papers and work history.
void addStaffHistoryPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(staffRecord(m, "Rs_KH")
                    .set("F_KHtype", gen::cycle({"年度考核", "季度考核", "季度考核"}))
                    .set("F_KHqixian", gen::cycle({"2007年度", "2008年第二季度", "2008年第二季度"}))
                    .set("F_KHtime", gen::cycle({"2008-01-15", "2008-07-10", "2008-07-10"}))
                    .set("F_KHcj", gen::ints({95, 86, 78}))
                    .set("F_KHdj", gen::cycle({"优秀", "良好", "合格"}))
                    .set("F_Memo1", gen::text("工作认真负责"))
                    .set("F_PJemp", gen::text("孙丽")));
  out.push_back(staffRecord(m, "Rs_DD")
                    .set("F_OLDduty", gen::cycle({"销售员", "销售员", "采购员"}))
                    .set("F_OLDdaCode", gen::numbered("DA", 4))
                    .set("F_NewDuty", gen::cycle({"销售经理", "销售主管", "采购经理"}))
                    .set("F_DAcode", gen::numbered("DA", 4))
                    .set("F_Memo1", gen::text("工作表现突出，予以晋升"))
                    .set("F_PZemp", gen::text("孙丽"))
                    .set("F_editDate", gen::day(on(6, 30)))
                    .set("F_useFlag", gen::yes(true))
                    .set("F_OLDdept", gen::cycle({"销售部", "销售部", "采购部"}))
                    .set("F_NewDept", gen::cycle({"销售部", "销售部", "采购部"})));
  out.push_back(staffRecord(m, "Rs_JC")
                    .set("F_Xm", gen::cycle({"全勤奖", "销售冠军", "迟到"}))
                    .set("F_Lx", gen::cycle({"奖励", "奖励", "惩罚"}))
                    .set("F_CXdate", gen::days({on(7, 31), on(6, 30), on(8, 5)}))
                    .set("F_Memo1", gen::cycle({"奖金200元", "奖金1000元", "扣款50元"}))
                    .set("F_PZemp", gen::text("孙丽")));
  out.push_back(staffRecord(m, "Rs_TX")
                    .set("F_reason", gen::text("年度调薪"))
                    .set("F_beginPrice", [](const Row& r) { return Variant::r8(about(r).salary - 500); })
                    .set("F_endPrice", [](const Row& r) { return Variant::r8(about(r).salary); })
                    .set("F_memo1", gen::text("自2008年7月起执行"))
                    .set("F_PZemp", gen::text("孙丽")));
  out.push_back(staffRecord(m, "Rs_ZJ")
                    .set("F_shuoming", gen::cycle({"驾驶证", "英语六级证书", "会计从业资格证"}))
                    .set("F_dqdate", gen::days({SampleModel::date(2012, 5, 1), SampleModel::date(2099, 12, 31),
                                                SampleModel::date(2010, 6, 30)}))
                    .set("F_dir", gen::cycle({"档案柜A", "档案柜A", "档案柜B"}))
                    .set("F_mem", gen::text("原件已核对"))
                    .set("F_TXdate", gen::days({SampleModel::date(2012, 4, 1), SampleModel::date(2099, 12, 1),
                                                SampleModel::date(2010, 6, 1)})));
  out.push_back(staffRecord(m, "Rs_work")
                    .set("F_Education", gen::text("1994-1998 北京工商大学 本科"))
                    .set("F_Work", gen::text("1998-2003 北京某贸易公司；2003至今 本公司")));
}

// Payroll.
void addPayrollPlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(planFor(m, "Gz_Item")
                    .set("HH", gen::id())
                    .set("F_Name", gen::cycle({"基本工资", "岗位津贴", "绩效奖金", "加班费", "社会保险", "个人所得税"}))
                    .set("F_function", gen::cycle({"固定", "固定", "考核", "计时", "扣款", "扣款"}))
                    .set("F_Gs", gen::cycle({"", "", "基本工资*0.2", "加班小时*20", "基本工资*0.1", "按税法计算"}))
                    .set("F_Color", gen::cycle({"黑色", "黑色", "蓝色", "蓝色", "红色", "红色"}))
                    .set("B1", gen::flags({true, true, true, true, false, false})));
  out.push_back(planFor(m, "Gz_MonthZb")
                    .set("DJBH", gen::cycle({"GZ200808", "GZ200807"}))
                    .set("RQ", gen::days({on(8, 30), on(7, 31)}))
                    .set("F_Year", gen::integer(2008))
                    .set("F_Month", gen::ints({8, 7}))
                    .set("F_TableName", gen::text("Gz_Month"))
                    .set("F_CnTitle", gen::cycle({"2008年8月工资表", "2008年7月工资表"}))
                    .set("F_Creater", gen::text("杨帆"))
                    .set("F_BeginDate", gen::days({on(8, 1), on(7, 1)}))
                    .set("F_EndDate", gen::days({on(8, 31), on(7, 31)}))
                    .set("uFlag", gen::ints({0, 1}))
                    .set("BillType", gen::text("工资表")));
  // One row per employee on each sheet: pay, allowance, bonus, overtime,
  // insurance, tax and the net pay.
  TablePlan month = linesFor(m, "Gz_Month", "Gz_MonthZb", SampleModel::employees());
  auto pay = [](const Row& r) { return SampleModel::employee(r.j + 1).salary; };
  month.set("YGID", [](const Row& r) { return Variant::i4(r.j + 1); })
      .set("RQ", [](const Row& r) { return Variant::date(r.h == 0 ? on(8, 30) : on(7, 31)); })
      .set("F01", [pay](const Row& r) { return Variant::r8(pay(r)); })
      .set("F02", gen::real(500))
      .set("F03", [pay](const Row& r) { return Variant::r8(pay(r) * 0.2); })
      .set("F04", [](const Row& r) { return Variant::r8(20.0 * (r.j % 3) * 4); })
      .set("F05", [pay](const Row& r) { return Variant::r8(pay(r) * 0.1); })
      .set("F06", [pay](const Row& r) { return Variant::r8(pay(r) > 2000 ? (pay(r) - 2000) * 0.1 : 0); })
      .set("F07",
           [pay](const Row& r) {
             double p = pay(r);
             double net = p + 500 + p * 0.2 + 20.0 * (r.j % 3) * 4 - p * 0.1 - (p > 2000 ? (p - 2000) * 0.1 : 0);
             return Variant::r8(net);
           })
      .set("F41", gen::text("已发放"));
  out.push_back(std::move(month));
  out.push_back(planFor(m, "Gz_GZong").set("F_Name", gen::cycle({"装配组", "包装组", "检验组"})));
  out.push_back(planFor(m, "Gz_GXu")
                    .set("F_Name", gen::cycle({"主板安装", "整机组装", "外箱包装", "出厂检验"}))
                    .set("F_Dw", gen::text("件"))
                    .set("F_GzID", gen::ints({1, 1, 2, 3}))
                    .set("F_Dj", gen::reals({2.5, 8, 1.2, 3})));
  // Piece work: employee, operation, price, pieces and pay.
  auto piecePrice = [](const Row& r) {
    static const double p[] = {2.5, 8, 1.2, 3};
    return p[r.i % 4];
  };
  out.push_back(planFor(m, "Gz_JJGZ")
                    .set("F_empID", gen::ints({5, 5, 7, 7, 4, 4}))
                    .set("F_GxID", [](const Row& r) { return Variant::i4(1 + r.i % 4); })
                    .set("F_DJ", [piecePrice](const Row& r) { return Variant::r8(piecePrice(r)); })
                    .set("F_SL", [](const Row& r) { return Variant::r8(100 + 20 * r.i); })
                    .set("F_JBGZ", [piecePrice](const Row& r) { return Variant::r8(piecePrice(r) * (100 + 20 * r.i)); })
                    .set("F_Memo", gen::text("8月计件"))
                    .set("RQ", gen::day(on(8, 30))));
  out.push_back(planFor(m, "Gz_GongZ")
                    .set("F_Name", gen::cycle({"普通工时", "加班工时", "节假日工时"}))
                    .set("F_Dw", gen::text("小时"))
                    .set("F_GzID", gen::ints({1, 2, 3}))
                    .set("F_Dj", gen::reals({15, 22.5, 30})));
  auto hourPrice = [](const Row& r) {
    static const double p[] = {15, 22.5, 30};
    return p[r.i % 3];
  };
  out.push_back(planFor(m, "Gz_JSGZ")
                    .set("F_empID", gen::ints({5, 5, 5, 7, 7, 7}))
                    .set("F_GxID", [](const Row& r) { return Variant::i4(1 + r.i % 3); })
                    .set("F_DJ", [hourPrice](const Row& r) { return Variant::r8(hourPrice(r)); })
                    .set("F_SL", [](const Row& r) { return Variant::r8(8 + 2 * r.i); })
                    .set("F_JBGZ", [hourPrice](const Row& r) { return Variant::r8(hourPrice(r) * (8 + 2 * r.i)); })
                    .set("F_Memo", gen::text("8月计时"))
                    .set("RQ", gen::day(on(8, 30))));
}

// Office: leave and overtime.
void addLeaveAndOvertimePlans(const SampleModel& m, std::vector<TablePlan>& out) {
  TablePlan leave = planFor(m, "Oa_Leave");
  person(leave, "F_empID", "F_Code", "F_Name", "F_Dept")
      .set("F_Type", gen::cycle({"事假", "病假", "年假"}))
      .set("F_ApplyDate", gen::days({on(8, 4), on(8, 11), on(8, 18)}))
      .set("F_YearMonth", gen::text("2008-08"))
      .set("F_StartDate", gen::days({on(8, 5), on(8, 12), on(8, 25)}))
      .set("F_EndDate", gen::days({on(8, 5), on(8, 13), on(8, 29)}))
      .set("F_Hours", gen::cycle({"8", "16", "40"}))
      .set("F_Sender1", gen::text("孙丽"))
      .set("F_Sender2", gen::text("赵磊"))
      .set("F_Memo", gen::cycle({"家中有事", "感冒发烧", "休年假"}))
      .set("F_BillDate", gen::days({on(8, 4), on(8, 11), on(8, 18)}));
  out.push_back(std::move(leave));
  TablePlan overtime = planFor(m, "Oa_Overtime");
  person(overtime, "F_empID", "F_Code", "F_Name", "F_Dept")
      .set("F_Thing", gen::cycle({"月底盘点", "赶发订单", "系统升级"}))
      .set("F_ApplyDate", gen::days({on(8, 28), on(8, 20), on(8, 9)}))
      .set("F_YearMonth", gen::text("2008-08"))
      .set("F_StartDate", gen::days({on(8, 30), on(8, 23), on(8, 10)}))
      .set("F_EndDate", gen::days({on(8, 30), on(8, 23), on(8, 10)}))
      .set("F_Hours", gen::cycle({"4", "6", "8"}))
      .set("F_Type", gen::cycle({"周末加班", "周末加班", "节假日加班"}))
      .set("F_Sender1", gen::text("孙丽"))
      .set("F_Sender2", gen::text("赵磊"))
      .set("F_BillDate", gen::days({on(8, 28), on(8, 20), on(8, 9)}));
  out.push_back(std::move(overtime));
}

// Office: dormitories, keys, contacts, visitors and passes.
void addOfficePlans(const SampleModel& m, std::vector<TablePlan>& out) {
  out.push_back(planFor(m, "Oa_House")
                    .set("F_Name", gen::cycle({"员工宿舍1号楼", "员工宿舍2号楼", "单身公寓"}))
                    .set("F_Type", gen::cycle({"宿舍", "宿舍", "公寓"}))
                    .set("F_Tel", gen::cycle({"010-62345701", "010-62345702", "010-62345703"}))
                    .set("F_Admin", gen::text("赵磊"))
                    .set("F_People", gen::cycle({"刘洋、王芳", "陈静", "杨帆"}))
                    .set("F_Thing", gen::cycle({"空调维修", "", "更换门锁"}))
                    .set("F_BillDate", gen::day(on(8, 1))));
  out.push_back(planFor(m, "Oa_Keys")
                    .set("F_Name", gen::cycle({"仓库大门钥匙", "财务室钥匙", "会议室钥匙"}))
                    .set("F_BorrowMan", gen::cycle({"陈静", "杨帆", "王芳"}))
                    .set("F_BorrowDate", gen::days({on(8, 25), on(8, 27), on(8, 29)}))
                    .set("F_UnReturn", gen::cycle({"否", "是", "否"}))
                    .set("F_BillDate", gen::days({on(8, 25), on(8, 27), on(8, 29)}))
                    .set("F_ReturnDate",
                         [](const Row& r) { return r.i == 1 ? Variant::null() : Variant::date(on(8, 26 + r.i)); }));
  out.push_back(
      planFor(m, "Oa_Linkman")
          .set("F_Inc", gen::cycle({"北京华联商厦股份有限公司", "联想集团有限公司", "北京物流有限公司"}))
          .set("F_Name", gen::cycle({"张经理", "周经理", "马主任"}))
          .set("F_Type", gen::cycle({"客户", "供应商", "合作伙伴"}))
          .set("F_Sex", gen::cycle({"男", "男", "女"}))
          .set("F_Tel", gen::cycle({"010-65000001", "010-82000001", "010-67000001"}))
          .set("F_Handset", gen::cycle({"13801000001", "13801000002", "13801000003"}))
          .set("F_Email", gen::cycle({"zhang@example.cn", "zhou@example.cn", "ma@example.cn"}))
          .set("F_Fax", gen::cycle({"010-65000002", "010-82000002", "010-67000002"}))
          .set("F_QQ", gen::cycle({"10001", "10002", "10003"}))
          .set("F_Post", gen::text("100020"))
          .set("F_Duty", gen::cycle({"采购经理", "销售经理", "办公室主任"}))
          .set("F_Address", gen::cycle({"北京市朝阳区建国路1号", "北京市海淀区上地五街6号", "北京市丰台区南四环"}))
          .set("F_BillDate", gen::day(on(8, 1))));
  out.push_back(planFor(m, "Oa_Visit")
                    .set("F_Name", gen::cycle({"洽谈合作", "送货对账", "设备维护"}))
                    .set("F_Inc", gen::cycle({"天津劝业场集团有限公司", "得力集团有限公司", "北京办公设备维修部"}))
                    .set("F_Visitor", gen::cycle({"李经理", "褚主任", "马师傅"}))
                    .set("F_Tel", gen::cycle({"022-65000038", "0574-82000001", "13901000009"}))
                    .set("F_VisitDate", gen::days({on(8, 26), on(8, 28), on(8, 29)}))
                    .set("F_YearMonth", gen::text("2008-08"))
                    .set("F_Interviewee", gen::cycle({"张伟", "李娜", "赵磊"}))
                    .set("F_BillDate", gen::days({on(8, 26), on(8, 28), on(8, 29)})));
  out.push_back(planFor(m, "Oa_Pass")
                    .set("F_Name", gen::cycle({"出门证", "出门证", "车辆通行证"}))
                    .set("F_Inc", gen::cycle({"北京物流有限公司", "北京华联商厦股份有限公司", "联想集团有限公司"}))
                    .set("F_Passer", gen::cycle({"马师傅", "张经理", "周经理"}))
                    .set("F_Tel", gen::cycle({"13901000009", "13801000001", "13801000002"}))
                    .set("F_PassDate", gen::days({on(8, 29), on(8, 30), on(8, 30)}))
                    .set("F_YearMonth", gen::text("2008-08"))
                    .set("F_Passer1", gen::text("陈静"))
                    .set("F_Thing", gen::cycle({"提货", "退货", "送货"}))
                    .set("F_Config", gen::cycle({"笔记本电脑", "手机", "台式电脑"}))
                    .set("F_Unit", gen::cycle({"台", "部", "台"}))
                    .set("F_Number", gen::cycle({"10", "5", "8"}))
                    .set("F_BillDate", gen::days({on(8, 29), on(8, 30), on(8, 30)})));
}

}  // namespace

std::vector<TablePlan> staffPlans(const SampleModel& m) {
  return plansOf(
      m, {addStaffRecordPlans, addStaffHistoryPlans, addPayrollPlans, addLeaveAndOvertimePlans, addOfficePlans});
}

}  // namespace rvz::client::sample

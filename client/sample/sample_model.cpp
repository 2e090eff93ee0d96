// The sample's schema reader, sizes, shared values, general column rules
// and the table filler.
#include "client/sample/sample_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "platform/text/text.h"

namespace rvz::client::sample {

namespace {

std::string upper(std::string_view s) { return text::upperCaseAscii(s); }

std::string trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r,");
  return std::string(s.substr(b, e - b + 1));
}

// "TEXT(50)" -> type and size.
bool readType(std::string_view spelled, ColumnType& type, int& size) {
  std::string t = upper(spelled);
  size = 0;
  size_t paren = t.find('(');
  std::string base = t.substr(0, paren);
  if (paren != std::string::npos) {
    size_t close = t.find(')', paren);
    if (close == std::string::npos) return false;
    std::string inner = t.substr(paren + 1, close - paren - 1);
    size = std::atoi(inner.c_str());  // DECIMAL(p,s): p, which nothing uses
  }
  static const std::pair<std::string_view, ColumnType> kTypes[] = {
      {"LONG", ColumnType::Long},         {"SMALLINT", ColumnType::SmallInt}, {"COUNTER", ColumnType::Counter},
      {"DOUBLE", ColumnType::Double},     {"DECIMAL", ColumnType::Decimal},   {"YESNO", ColumnType::YesNo},
      {"DATETIME", ColumnType::DateTime}, {"MEMO", ColumnType::Memo},         {"OLEOBJECT", ColumnType::OleObject},
      {"TEXT", ColumnType::Text},         {"CHAR", ColumnType::Char},         {"ANSIVARCHAR", ColumnType::AnsiText},
  };
  for (const auto& [name, ct] : kTypes)
    if (base == name) {
      type = ct;
      return true;
    }
  return false;
}

bool isTextType(ColumnType t) { return t == ColumnType::Text || t == ColumnType::Char || t == ColumnType::AnsiText; }

// Characters of a text, and the bytes it takes in code page 936 (one per
// ASCII character, two per Chinese character).
void measure(WStringView text, int& chars, int& ansiBytes) {
  chars = 0;
  ansiBytes = 0;
  for (char16_t c : text) {
    if (c >= 0xDC00 && c <= 0xDFFF) continue;  // the second half of a pair
    ++chars;
    ansiBytes += c < 0x80 ? 1 : 2;
  }
}

// Columns whose name tells the table they point to (upper-cased names).
const std::map<std::string, std::string>& referenceTargets() {
  static const std::map<std::string, std::string> m = {
      {"GYSID", "GYS"},
      {"KHID", "KH"},
      {"CKID", "CK"},
      {"DCCID", "CK"},
      {"DRCID", "CK"},
      {"YGID", "YG"},
      {"BMID", "BM"},
      {"DQID", "DQ"},
      {"ZHID", "ZH"},
      {"ZCZHID", "ZH"},
      {"ZRZHID", "ZH"},
      {"SFKFSID", "SFKFS"},
      {"SRZCLBID", "SRZCLB"},
      {"QTKCBDLXID", "QTKCBDLX"},
      {"HPHSFFID", "HPHSFF"},
      {"HPHSFSID", "HPHSFS"},
      {"SJZLID", "SJZL"},
      {"CJID", "CJ"},
      {"CUSTID", "KH"},
      {"CUSTOMERID", "KH"},
      {"F_EMPID", "YG"},
      {"HOUSEID", "CY_HOUSE"},
      {"F_GZID", "GZ_GZONG"},
      {"STOREID", "CK"},
      {"HPID", "HP"},
      {"YGLBID", "YGLB"},
      {"HPLBID", "PUB_ITEMTYPE"},
  };
  return m;
}

// Columns that point into the same table as another column of the row get
// a different salt, so that the two name different rows.
int saltOf(const std::string& upperName) {
  if (upperName == "DRCID" || upperName == "ZRZHID") return 1;
  return 0;
}

struct FamilyDef {
  const char* header;
  const char* lines;
  const char* prefix;
  bool sale;  // lines priced at the retail price
  int salt;   // which goods the lines carry; 0: the lines carry no goods, -1: dishes
};

// The bill families: header and lines tables, bill number prefix, price.
// A receipt carries the goods of the order it follows (same salt).
constexpr FamilyDef kFamilies[] = {
    {"CGSQZB", "CGSQ", "QG", false, 1},
    {"CGDDZB", "CGDD", "CD", false, 2},
    {"CGSHZB", "CGSH", "CS", false, 2},
    {"CGFKZB", "CGFK", "FK", false, 0},
    {"CGTHZB", "CGTH", "CT", false, 3},
    {"XSDDZB", "XSDD", "XD", true, 4},
    {"XSKDZB", "XSKD", "XK", true, 4},
    {"XSSKZB", "XSSK", "SK", true, 0},
    {"XSTHZB", "XSTH", "XT", true, 5},
    {"LSKDZB", "LSKD", "LS", true, 6},
    {"LLZB", "LL", "LL", false, 7},
    {"TLZB", "TL", "TL", false, 7},
    {"CPJCZB", "CPJC", "CP", false, 8},
    {"KCPDZB", "KCPD", "PD", false, 9},
    {"CHTJZB", "CHTJ", "TJ", false, 10},
    {"CKDBZB", "CKDB", "DB", false, 11},
    {"QTKCBDZB", "QTKCBD", "QT", false, 12},
    {"CKZZZB", "CKZZ", "ZZ", false, 13},
    {"FYKZZB", "FYKZ", "FY", false, 0},
    {"QTSRZB", "QTSR", "SR", false, 0},
    {"SC_BOMZB", "SC_BOM", "BO", false, 14},
    {"SC_SCJHZB", "SC_SCJH", "JH", false, 15},
    {"SC_WLXQJHZB", "SC_WLXQJH", "WL", false, 16},
    {"SC_CGJHZB", "SC_CGJH", "CJ", false, 17},
    {"SC_PRODUCEORDERZB", "SC_PRODUCEORDER", "SC", false, 18},
    {"SC_WTJGZB", "SC_WTJG", "WT", false, 19},
    {"WY_ZHBXZB", "WY_ZHBX", "BX", false, 0},
    {"WY_SBWXZB", "WY_SBWX", "WX", false, 0},
    {"CY_KDZB", "CY_KD", "KD", true, -1},
};

const FamilyDef* familyOfHeader(std::string_view table) {
  std::string u = upper(table);
  for (const auto& f : kFamilies)
    if (u == f.header) return &f;
  return nullptr;
}

const FamilyDef* familyOfLines(std::string_view table) {
  std::string u = upper(table);
  for (const auto& f : kFamilies)
    if (u == f.lines) return &f;
  return nullptr;
}

double round2(double v) { return std::round(v * 100.0) / 100.0; }

}  // namespace

const ColumnDef* TableDef::column(std::string_view n) const {
  std::string u = upper(n);
  for (const auto& c : columns)
    if (upper(c.name) == u) return &c;
  return nullptr;
}

std::vector<TableDef> readSchemaTables(const std::vector<std::string>& statements) {
  std::vector<TableDef> out;
  for (const auto& s : statements) {
    size_t lineEnd = s.find('\n');
    std::string first = trim(std::string_view(s).substr(0, lineEnd));
    if (upper(first).rfind("CREATE TABLE ", 0) != 0) continue;
    TableDef t;
    std::string rest = trim(first.substr(13));
    t.name = rest.substr(0, rest.find_first_of(" ("));
    size_t pos = lineEnd;
    while (pos != std::string::npos && pos < s.size()) {
      size_t next = s.find('\n', pos + 1);
      std::string line =
          trim(std::string_view(s).substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1));
      pos = next;
      if (line.empty() || line == ")" || upper(line).rfind("CONSTRAINT", 0) == 0) continue;
      size_t blank = line.find_first_of(" \t");
      if (blank == std::string::npos)
        throw std::invalid_argument("Table " + t.name + ": cannot read the column line '" + line + "'");
      ColumnDef c;
      c.name = line.substr(0, blank);
      if (!readType(trim(line.substr(blank)), c.type, c.size))
        throw std::invalid_argument("Table " + t.name + ": unknown column type in '" + line + "'");
      t.columns.push_back(std::move(c));
    }
    if (t.columns.empty()) throw std::invalid_argument("Table " + t.name + ": no columns found");
    out.push_back(std::move(t));
  }
  return out;
}

// ---------------------------------------------------------------- model

SampleModel::SampleModel(int scaledRows) {
  const int scaled = std::max(0, scaledRows);
  const int headers = scaled > 0 ? std::max(4, (scaled + kLinesPerHeader - 1) / kLinesPerHeader) : 4;
  const int goods = std::max(kGoodsKinds, scaled);
  const int customers = std::max(8, scaled);
  // The small tables: every size the plans rely on is written here once.
  const std::pair<const char*, int> sizes[] = {
      {"AppUserGroup", 4},
      {"appuser", 5},
      {"AppGroupDesktopClass", 6},
      {"Appselect", 3},
      {"AppLog", 6},
      {"AppMenu", 9},
      {"project", 5},
      {"CompanyInfo", 1},
      {"TableColumns", 8},
      {"pub_PrintModal", 3},
      {"Report_print_rm", 3},
      {"DQ", 6},
      {"BM", 6},
      {"KH", customers},
      {"GYS", 6},
      {"ZH", 3},
      {"SFKFS", 4},
      {"SRZCLB", 6},
      {"CK", 3},
      {"YGLB", 3},
      {"YG", employees()},
      {"HPLB", 4},
      {"Pub_ItemType", 9},
      {"Pub_Project", 4},
      {"CYJSDW", 4},
      {"HPHSFF", 3},
      {"HPHSFS", 2},
      {"HP", goods},
      {"hp_dw", 12},
      {"Sjzl", 3},
      {"HPSJ", 3 * kGoodsKinds},
      {"HPKC", 3 * kTradeGoodsKinds},
      {"hp_pict", 3},
      {"QTKCBDLX", 4},
      {"YHCKQK", 4},
      {"THGC", headers * 2},
      {"Gz_MonthZb", 2},
      {"Gz_Month", 2 * employees()},
      {"Gz_GZong", 3},
      {"Gz_GXu", 4},
      {"Gz_GongZ", 3},
      {"Gz_JJGZ", 6},
      {"Gz_JSGZ", 6},
      {"Gz_Item", 6},
      {"zc_ItemType", 5},
      {"zc_item", 4},
      {"zc_ProjectPlanning_1", 3},
      {"Cj", 3},
      {"Wy_Project", 4},
      {"Wy_xiaoqu", 2},
      {"Wy_ClientRoom", 6},
      {"Wy_CarPos", 4},
      {"Wy_CltCarPos", 3},
      {"Wy_Goods", 4},
      {"Wy_CltFyRec", 6},
      {"Wy_CltFkRec", 4},
      {"CY_House", 3},
      {"CY_HouseTable", 6},
      {"CY_YD", 3},
      {"vipLevel", 3},
      {"vip", 6},
      {"VipSet", 1},
  };
  for (const auto& [name, n] : sizes) counts_[upper(name)] = n;
  for (const auto& f : kFamilies) {
    counts_[f.header] = headers;
    counts_[f.lines] = headers * kLinesPerHeader;
  }
  // A payment or collection settles one bill: one line each.
  counts_["CGFK"] = counts_["XSSK"] = headers;
  tradeGoods_ = goods / kGoodsKinds * kTradeGoodsKinds + std::min(goods % kGoodsKinds, kTradeGoodsKinds);
}

int SampleModel::count(std::string_view table) const {
  auto it = counts_.find(upper(table));
  return it == counts_.end() ? 3 : it->second;
}

int SampleModel::ref(std::string_view table, int i, int salt) const {
  int n = count(table);
  return 1 + (i + salt) % n;
}

std::string SampleModel::billNumber(std::string_view prefix, int h) {
  // One header a day, back from 30 August 2008 over the 240 days of the
  // year so far; the sequence of the day follows the date: "XD0808300001".
  // Written by hand: it is made for every header and every line.
  static const std::vector<std::array<char, 6>> days = [] {
    std::vector<std::array<char, 6>> out;
    for (int back = 0; back < 240; ++back) {
      DateTime d = DateTime::fromOleDate(date(2008, 8, 30) - back);
      int parts[3] = {d.year % 100, d.month, d.day};
      std::array<char, 6> a{};
      for (int k = 0; k < 3; ++k) {
        a[static_cast<size_t>(2 * k)] = static_cast<char>('0' + parts[k] / 10);
        a[static_cast<size_t>(2 * k + 1)] = static_cast<char>('0' + parts[k] % 10);
      }
      out.push_back(a);
    }
    return out;
  }();
  std::string no(prefix.substr(0, 2));
  const auto& d = days[static_cast<size_t>(h % 240)];
  no.append(d.data(), d.size());
  int seq = h / 240 + 1;
  char digits[4] = {static_cast<char>('0' + seq / 1000 % 10), static_cast<char>('0' + seq / 100 % 10),
                    static_cast<char>('0' + seq / 10 % 10), static_cast<char>('0' + seq % 10)};
  no.append(digits, 4);
  return no;
}

double SampleModel::billDate(int h) { return date(2008, 8, 30) - (h % 240); }

double SampleModel::date(int year, int month, int day) {
  DateTime d;
  d.year = year;
  d.month = month;
  d.day = day;
  return d.toOleDate();
}

namespace {

constexpr SampleModel::GoodsEntry kGoods[SampleModel::kGoodsKinds] = {
    {"华为手机", "C8500", "部", 3, 980, "HWSJ", "深圳", "黑色"},
    {"诺基亚手机", "N5800", "部", 3, 1650, "NJYSJ", "北京", "白色"},
    {"摩托罗拉手机", "A1200", "部", 3, 1280, "MTLLSJ", "天津", "银色"},
    {"联想笔记本电脑", "ThinkPad T61", "台", 4, 6800, "LXBJBDN", "北京", "黑色"},
    {"戴尔台式电脑", "OptiPlex 755", "台", 4, 4200, "DETSDN", "厦门", "黑色"},
    {"惠普笔记本电脑", "Compaq 6520s", "台", 4, 5300, "HPBJBDN", "上海", "银色"},
    {"复印纸", "A4 70g 500张", "包", 5, 18.5, "FYZ", "山东", "白色"},
    {"复印纸", "A3 70g 500张", "包", 5, 36, "FYZ", "山东", "白色"},
    {"打印纸", "241-1 1000页", "箱", 5, 95, "DYZ", "广东", "白色"},
    {"中性签字笔", "0.5mm 黑", "支", 6, 1.2, "ZXQZB", "上海", "黑色"},
    {"软面笔记本", "B5 80页", "本", 6, 3.5, "RMBJB", "浙江", "蓝色"},
    {"文件夹", "A4 双夹", "个", 6, 6.8, "WJJ", "浙江", "蓝色"},
    {"宫保鸡丁", "例", "份", 8, 12, "GBJD", "本店", ""},
    {"鱼香肉丝", "例", "份", 8, 10, "YXRS", "本店", ""},
    {"清蒸鲈鱼", "条", "份", 8, 35, "QZLY", "本店", ""},
    {"青岛啤酒", "600ml", "瓶", 9, 3, "QDPJ", "青岛", ""},
};

constexpr SampleModel::Employee kEmployees[] = {
    {"0001", "张伟", "男", 2, "销售经理", 6000}, {"0002", "王芳", "女", 2, "销售员", 3500},
    {"0003", "李娜", "女", 3, "采购经理", 5500}, {"0004", "刘洋", "男", 3, "采购员", 3200},
    {"0005", "陈静", "女", 4, "仓库主管", 4000}, {"0006", "杨帆", "男", 5, "会计", 4500},
    {"0007", "赵磊", "男", 6, "人事专员", 3800}, {"0008", "孙丽", "女", 1, "总经理", 12000},
};

constexpr const char* kDepartments[] = {"总经理室", "销售部", "采购部", "仓储部", "财务部", "人事部"};

}  // namespace

const SampleModel::GoodsEntry& SampleModel::goods(int g) { return kGoods[g % kGoodsKinds]; }

const SampleModel::Employee& SampleModel::employee(int id) { return kEmployees[(id - 1 + employees()) % employees()]; }

const char* SampleModel::departmentName(int id) { return kDepartments[(id - 1 + 6) % 6]; }

int SampleModel::lineGoods(int h, int j, int salt) const {
  // Only the trade kinds of each block of 16 rows.
  const int k = (h * kLinesPerHeader + j + salt * 5) % tradeGoods_;
  return k / kTradeGoodsKinds * kGoodsKinds + k % kTradeGoodsKinds;
}

int SampleModel::cateringGoods(int h, int j) const {
  return kTradeGoodsKinds + (h * kLinesPerHeader + j) % (kGoodsKinds - kTradeGoodsKinds);
}

double SampleModel::goodsCost(int g) { return goods(g).cost + (g / kGoodsKinds) % 10 * 0.5; }

double SampleModel::goodsSalePrice(int g) {
  // Dishes sell at three times their cost, goods at a third over it.
  double factor = goods(g).category >= 8 ? 3.0 : 1.3;
  return std::round(goodsCost(g) * factor * 10.0) / 10.0;
}

double SampleModel::lineQuantity(int h, int j) { return 1.0 + ((h * kLinesPerHeader + j) * 7) % 12; }

double SampleModel::billAmount(std::string_view headerTable, int h) const {
  const FamilyDef* f = familyOfHeader(headerTable);
  if (!f || f->salt == 0) return 0;
  double sum = 0;
  for (int j = 0; j < kLinesPerHeader; ++j) {
    int g = f->salt < 0 ? cateringGoods(h, j) : lineGoods(h, j, f->salt);
    double price = f->sale ? goodsSalePrice(g) : goodsCost(g);
    sum += round2(price * lineQuantity(h, j));
  }
  return round2(sum);
}

std::string SampleModel::billPrefix(std::string_view table) {
  const FamilyDef* f = familyOfHeader(table);
  if (!f) f = familyOfLines(table);
  return f ? f->prefix : "";
}

// ---------------------------------------------------------------- generators

namespace gen {
Gen null() {
  return [](const Row&) { return Variant::null(); };
}
Gen id() {
  return [](const Row& r) { return Variant::i4(r.i + 1); };
}
Gen integer(int v) {
  return [v](const Row&) { return Variant::i4(v); };
}
Gen real(double v) {
  return [v](const Row&) { return Variant::r8(v); };
}
Gen yes(bool v) {
  return [v](const Row&) { return Variant::boolean(v); };
}
Gen text(std::string v) {
  return [w = rvz::text::utf8ToWide(v)](const Row&) { return Variant::bstr(w); };
}
Gen cycle(std::vector<std::string> texts) {
  std::vector<WString> wide;
  for (const auto& t : texts) wide.push_back(rvz::text::utf8ToWide(t));
  return [w = std::move(wide)](const Row& r) { return Variant::bstr(w[static_cast<size_t>(r.i) % w.size()]); };
}
Gen ints(std::vector<int> values) {
  return [v = std::move(values)](const Row& r) { return Variant::i4(v[static_cast<size_t>(r.i) % v.size()]); };
}
Gen reals(std::vector<double> values) {
  return [v = std::move(values)](const Row& r) { return Variant::r8(v[static_cast<size_t>(r.i) % v.size()]); };
}
Gen flags(std::vector<bool> values) {
  return [v = std::move(values)](const Row& r) { return Variant::boolean(v[static_cast<size_t>(r.i) % v.size()]); };
}
Gen days(std::vector<double> oleDates) {
  return [v = std::move(oleDates)](const Row& r) { return Variant::date(v[static_cast<size_t>(r.i) % v.size()]); };
}
Gen numbered(std::string prefix, int width) {
  return [prefix = std::move(prefix), width](const Row& r) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*d", width, r.i + 1);
    return Variant::bstrUtf8(prefix + buf);
  };
}
Gen ref(const SampleModel& m, std::string table, int salt) {
  const int n = m.count(table);
  return [n, salt](const Row& r) { return Variant::i4(1 + (r.i + salt) % n); };
}
Gen day(double oleDate) {
  return [oleDate](const Row&) { return Variant::date(oleDate); };
}
Gen billDate() {
  return [](const Row& r) { return Variant::date(SampleModel::billDate(r.i)); };
}
Gen bytes(std::string content) {
  return [c = std::move(content)](const Row&) {
    return Variant::array(SafeArray::bytes(std::vector<uint8_t>(c.begin(), c.end())));
  };
}
}  // namespace gen

TablePlan planFor(const SampleModel& m, std::string table) {
  TablePlan p;
  p.rows = m.count(table);
  p.table = std::move(table);
  return p;
}

TablePlan linesFor(const SampleModel& m, std::string table, std::string header, int perHeader) {
  TablePlan p;
  p.rows = m.count(header) * perHeader;
  p.table = std::move(table);
  p.header = std::move(header);
  p.linesPerHeader = perHeader;
  return p;
}

std::vector<TablePlan> plansOf(const SampleModel& m, std::initializer_list<PlanGroup> groups) {
  std::vector<TablePlan> out;
  for (PlanGroup add : groups) add(m, out);
  return out;
}

std::string samplePicture() {
  static const unsigned char png[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
      0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00,
      0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF,
      0x89, 0x99, 0x3D, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  return std::string(reinterpret_cast<const char*>(png), sizeof png);
}

// ---------------------------------------------------------------- filler

TableFiller::TableFiller(data::Connection& cn, const SampleModel& model, const std::vector<TableDef>& tables)
    : cn_(cn), model_(model), tables_(tables) {}

namespace {

// The number of a bill line: its header's bill number, and for RECID the
// line's place after it ("XD0808300001-01").
Gen lineNumberRule(const FamilyDef& family, bool rec) {
  std::string prefix = family.prefix;
  return [prefix, rec](const Row& r) {
    std::string no = SampleModel::billNumber(prefix, r.h);
    if (rec) {
      no += '-';
      no += static_cast<char>('0' + (r.j + 1) / 10 % 10);
      no += static_cast<char>('0' + (r.j + 1) % 10);
    }
    return Variant::bstrUtf8(no);
  };
}

// The goods columns of a line of a goods family; empty for other columns.
Gen lineGoodsRule(const SampleModel& m, const FamilyDef& family, const std::string& name) {
  const int salt = family.salt;
  const bool sale = family.sale;
  auto goodsOf = [&m, salt](const Row& r) {
    return salt < 0 ? m.cateringGoods(r.h, r.j) : m.lineGoods(r.h, r.j, salt);
  };
  auto priceOf = [goodsOf, sale](const Row& r) {
    int g = goodsOf(r);
    return sale ? SampleModel::goodsSalePrice(g) : SampleModel::goodsCost(g);
  };
  if (name == "HPID") return [goodsOf](const Row& r) { return Variant::i4(goodsOf(r) + 1); };
  if (name == "SL") return [](const Row& r) { return Variant::r8(SampleModel::lineQuantity(r.h, r.j)); };
  if (name == "DJ") return [priceOf](const Row& r) { return Variant::r8(priceOf(r)); };
  if (name == "CBDJ") return [goodsOf](const Row& r) { return Variant::r8(SampleModel::goodsCost(goodsOf(r))); };
  if (name == "DW") return [goodsOf](const Row& r) { return Variant::bstrUtf8(SampleModel::goods(goodsOf(r)).unit); };
  if (name == "JE")
    return [priceOf](const Row& r) { return Variant::r8(round2(priceOf(r) * SampleModel::lineQuantity(r.h, r.j))); };
  return {};
}

// A column of a bill line: its header, its number among the header's
// lines, and what it shares with the header; empty when no line rule
// applies. `asLines` is the line table's family, if it has one.
Gen billLineRule(const SampleModel& m, const FamilyDef* asLines, const TableDef* headerTable, const ColumnDef& column,
                 const std::string& name) {
  if (name == "ZBID") return [](const Row& r) { return Variant::i4(r.h + 1); };
  if (name == "HH") return [](const Row& r) { return Variant::i4(r.j + 1); };
  if (name == "RQ") return [](const Row& r) { return Variant::date(SampleModel::billDate(r.h)); };
  if (asLines && (name == "DJBH" || name == "RECID")) return lineNumberRule(*asLines, name == "RECID");
  if (asLines && asLines->salt != 0)
    if (Gen g = lineGoodsRule(m, *asLines, name)) return g;
  // References the header also holds follow the header's row.
  auto target = referenceTargets().find(name);
  if (target != referenceTargets().end() && headerTable && headerTable->column(column.name)) {
    const int n = m.count(target->second), salt = saltOf(name);
    return [n, salt](const Row& r) { return Variant::i4(1 + (r.h + salt) % n); };
  }
  return {};
}

// A column of a bill header: its number, date and, for goods families, the
// amount of its lines; empty for other columns.
Gen billHeaderRule(const SampleModel& m, const FamilyDef& family, const TableDef& table, const std::string& name) {
  std::string prefix = family.prefix;
  if (name == "DJBH") return [prefix](const Row& r) { return Variant::bstrUtf8(SampleModel::billNumber(prefix, r.i)); };
  if (name == "RQ") return gen::billDate();
  if (name == "JE" && family.salt != 0) {
    std::string t = table.name;
    return [&m, t](const Row& r) { return Variant::r8(m.billAmount(t, r.i)); };
  }
  return {};
}

// What a column holds when no rule names it: zero, no, a bill date or Null.
Gen typeDefault(const ColumnDef& column, const TablePlan& plan) {
  switch (column.type) {
    case ColumnType::Long:
    case ColumnType::SmallInt: return gen::integer(0);
    case ColumnType::Double:
    case ColumnType::Decimal: return gen::real(0);
    case ColumnType::YesNo: return gen::yes(false);
    case ColumnType::DateTime:
      if (!plan.header.empty()) return [](const Row& r) { return Variant::date(SampleModel::billDate(r.h)); };
      return gen::billDate();
    default: return gen::null();
  }
}

}  // namespace

Gen TableFiller::generalRule(const TableDef& table, const ColumnDef& column, const TablePlan& plan) const {
  const std::string name = upper(column.name);
  const SampleModel& m = model_;
  if (name == "ID" && (column.type == ColumnType::Long || column.type == ColumnType::SmallInt)) return gen::id();

  if (!plan.header.empty()) {
    const TableDef* headerTable = nullptr;
    for (const auto& t : tables_)
      if (upper(t.name) == upper(plan.header)) headerTable = &t;
    if (Gen g = billLineRule(m, familyOfLines(table.name), headerTable, column, name)) return g;
  }
  if (const FamilyDef* asHeader = familyOfHeader(table.name))
    if (Gen g = billHeaderRule(m, *asHeader, table, name)) return g;

  auto target = referenceTargets().find(name);
  if (target != referenceTargets().end() && (column.type == ColumnType::Long || column.type == ColumnType::SmallInt)) {
    const int n = m.count(target->second), salt = saltOf(name);
    return [n, salt](const Row& r) { return Variant::i4(1 + (r.i + salt) % n); };
  }
  return typeDefault(column, plan);
}

void TableFiller::fill(const TablePlan& plan) {
  const TableDef* table = nullptr;
  for (const auto& t : tables_)
    if (upper(t.name) == upper(plan.table)) table = &t;
  if (!table) throw std::logic_error("Sample plan for table " + plan.table + ": the schema has no such table");
  for (const auto& f : filled_)
    if (upper(f) == upper(table->name)) throw std::logic_error("Sample plan for table " + plan.table + " given twice");
  for (const auto& [col, g] : plan.columns)
    if (!table->column(col)) throw std::logic_error("Sample plan for table " + plan.table + ": no column " + col);

  std::vector<const ColumnDef*> cols;
  std::vector<Gen> gens;
  std::string names, markers;
  for (const auto& c : table->columns) {
    if (c.type == ColumnType::Counter) continue;  // the database numbers these
    Gen g;
    for (const auto& [col, pg] : plan.columns)
      if (upper(col) == upper(c.name)) g = pg;
    if (!g)
      for (const auto& [col, pg] : plan.defaults)
        if (upper(col) == upper(c.name)) g = pg;
    if (!g) g = generalRule(*table, c, plan);
    cols.push_back(&c);
    gens.push_back(std::move(g));
    if (!names.empty()) {
      names += ", ";
      markers += ", ";
    }
    names += "[" + c.name + "]";
    markers += "?";
  }
  const std::string sql = "INSERT INTO [" + table->name + "] (" + names + ") VALUES (" + markers + ")";

  std::vector<data::Parameter> params(cols.size());
  const int perHeader = plan.linesPerHeader > 0 ? plan.linesPerHeader : 1;
  for (int i = 0; i < plan.rows; ++i) {
    Row r{i, i / perHeader, i % perHeader};
    for (size_t c = 0; c < cols.size(); ++c) {
      params[c].value = gens[c](r);
      const Variant& v = params[c].value;
      if (isTextType(cols[c]->type) && v.type() == VT_BSTR) {
        int chars = 0, bytes = 0;
        measure(v.bstrValue(), chars, bytes);
        int limit = cols[c]->size;
        if (chars > limit || (cols[c]->type == ColumnType::AnsiText && bytes > limit))
          throw std::logic_error("Sample value '" + v.toUtf8() + "' is too long for " + table->name + "." +
                                 cols[c]->name + " (" + std::to_string(limit) + ")");
      }
    }
    cn_.execute(sql, params);
  }
  filled_.push_back(table->name);
}

void TableFiller::fillRemaining() {
  for (const auto& t : tables_) {
    bool done = false;
    for (const auto& f : filled_)
      if (upper(f) == upper(t.name)) done = true;
    if (done) continue;
    TablePlan p;
    p.table = t.name;
    p.rows = model_.count(t.name);
    fill(p);
  }
}

}  // namespace rvz::client::sample

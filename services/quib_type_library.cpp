// The tables of the type library Quib: Idatas and IDatasBb on IAppServer,
// and the classes datas and DatasBb.
#include "services/quib_type_library.h"

namespace rvz::services {

namespace {

using remoting::ClassDesc;
using remoting::InterfaceDesc;
using remoting::MethodDesc;
using remoting::ParamDesc;
using remoting::TypeLibraryDesc;
using D = remoting::ParamDir;

constexpr ParamDesc kSetFilterParams[] = {{"Filter", VT_VARIANT, D::In}};
constexpr ParamDesc kConnectActParams[] = {
    {"DataBaseType", VT_I4, D::In, true}, {"ServerName", VT_BSTR, D::In},
    {"DataBaseName", VT_BSTR, D::In},     {"User", VT_BSTR, D::In},
    {"Password", VT_BSTR, D::In},
};
constexpr ParamDesc kCompactDatabaseParams[] = {
    {"DBName", VT_BSTR, D::In, true},
    {"DBPassword", VT_BSTR, D::In, true},
};
constexpr ParamDesc kBackupDataParams[] = {{"ZTName", VT_BSTR, D::In, true}};

constexpr MethodDesc kIdatasMethods[] = {
    {"SetFilter", kSetFilter, kSetFilterParams, VT_EMPTY},
    {"GetAccounts", kGetAccounts, {}, VT_I4},
    {"ConnectAct", kConnectAct, kConnectActParams, VT_I4},
    {"GetServerDate", kGetServerDate, {}, VT_BSTR},
    {"GetServerDateTime", kGetServerDateTime, {}, VT_BSTR},
    {"GetTableNames", kGetTableNames, {}, VT_BSTR},
    {"CompactDatabase", kCompactDatabase, kCompactDatabaseParams, VT_I4},
    {"BackupData", kBackupData, kBackupDataParams, VT_I4},
};
constexpr MethodDesc kIDatasBbMethods[] = {
    {"SetFilter", kSetFilter, kSetFilterParams, VT_EMPTY},
};

constexpr InterfaceDesc kIdatas{"Idatas", "{6CDC8BB8-C5BD-4373-86E8-E4083A998F7B}",
                                "Dispatch interface for datas Object", &remoting::kAppServerInterface, kIdatasMethods};
constexpr InterfaceDesc kIDatasBb{"IDatasBb", "{80DDCF97-D60D-4375-9289-38D868C06C37}",
                                  "Dispatch interface for DatasBb Object", &remoting::kAppServerInterface,
                                  kIDatasBbMethods};

constexpr ClassDesc kDatas{"datas", "{0F07C1B3-6416-4C24-9D45-1C732B9E9BA3}", "Quib Object", "Quib.datas", &kIdatas};
constexpr ClassDesc kDatasBb{"DatasBb", "{AE6D884A-2BCC-4076-A139-95FBCE743056}", "DatasBb Object", "Quib.DatasBb",
                             &kIDatasBb};

constexpr const InterfaceDesc* kQuibInterfaces[] = {&kIdatas, &kIDatasBb};
constexpr const ClassDesc* kQuibClasses[] = {&kDatas, &kDatasBb};

constexpr TypeLibraryDesc kQuib{
    "Quib", "{2BEEF3E7-D166-4BDC-8D70-3F8330F7A0E4}", "Quib Library", 1, 0, kQuibInterfaces, kQuibClasses};

}  // namespace

const TypeLibraryDesc& quibTypeLibrary() { return kQuib; }
const InterfaceDesc& idatasInterface() { return kIdatas; }
const InterfaceDesc& idatasBbInterface() { return kIDatasBb; }
const ClassDesc& datasClass() { return kDatas; }
const ClassDesc& datasBbClass() { return kDatasBb; }

}  // namespace rvz::services

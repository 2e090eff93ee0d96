// Dispatch of Idatas onto TDatas. Arguments arrive already converted to
// their declared kinds (see the type library); failures leave here as a
// status with error information and the object stays usable.
#include "services/datas_dispatch.h"

#include "services/provider_dispatch.h"
#include "services/quib_type_library.h"

namespace rvz::services {

namespace {

const WString& str(const Variant& v) { return v.bstrValue(); }
int32_t i4(const Variant& v) { return static_cast<int32_t>(v.intValue()); }

}  // namespace

DatasDispatch::DatasDispatch(CreationFailure onCreationFailure, CreationHandler creationHandler,
                             desktop::Screen* screen)
    : datas_(std::make_unique<TDatas>()) {
  datas_->setScreen(screen);
  try {
    if (creationHandler)
      creationHandler(*datas_);
    else
      datas_->RemoteDataModuleCreate();
  } catch (const std::exception& e) {
    if (onCreationFailure) onCreationFailure(e.what());
  }
}

HRESULT DatasDispatch::invoke(int32_t dispid, std::vector<Variant>& a, Variant& result, ErrorInfo& error) {
  const auto& cls = datasClass();
  return guardOperation(text::utf8ToWide(cls.progId), std::string(cls.iface->iid), error, [&] {
    TDatas& d = *datas_;
    if (invokeProviderOperation(d.host(), dispid, a, result)) return;
    // The service methods reach Cn and the datasets on it outside the
    // provider host, so they take the use of Cn themselves: Cn is lent to
    // report service objects on other threads.
    // ConnectAct takes it for its own steps only: a SQL Server account set
    // may wait for the operator on the server's screen.
    if (dispid == kConnectAct) {
      result = Variant::i4(d.ConnectAct(i4(a[0]), str(a[1]), str(a[2]), str(a[3]), str(a[4])));
      return;
    }
    auto use = d.useCn();
    switch (dispid) {
      case kSetFilter: d.SetFilter(a[0]); break;
      case kGetAccounts: result = Variant::i4(d.GetAccounts()); break;
      // A string result is set only when the work is done: a failed call
      // never hands back part of a text.
      case kGetServerDate: result = Variant(d.GetServerDate()); break;
      case kGetServerDateTime: result = Variant(d.GetServerDateTime()); break;
      case kGetTableNames: result = Variant(d.GetTableNames()); break;
      case kCompactDatabase: result = Variant::i4(d.CompactDatabase(str(a[0]), str(a[1]))); break;
      case kBackupData: result = Variant::i4(d.BackupData(str(a[0]))); break;
      default: throw ComError(DISP_E_MEMBERNOTFOUND, "Unknown dispatch id " + std::to_string(dispid));
    }
  });
}

}  // namespace rvz::services

// The data service object as the remote object runtime reaches it: the
// operations of Idatas by dispatch id, each turned into a call on TDatas
// with its arguments in parameter order.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/remoting/dispatch.h"
#include "services/dms.h"

namespace rvz::services {

class DatasDispatch : public remoting::DispatchObject {
 public:
  // Told the text of a failure inside the creation handler, on the object
  // thread; the object is created all the same once it returns.
  using CreationFailure = std::function<void(const std::string& message)>;
  // The creation handler; RemoteDataModuleCreate when none is given.
  using CreationHandler = std::function<void(TDatas&)>;

  // Builds the object from its declaration (a failure there throws: the
  // creation fails) and runs its creation handler (a failure there goes to
  // `onCreationFailure` and the object stays).
  // `screen` is where the SQL Server link asks the operator (none: it
  // does not ask).
  explicit DatasDispatch(CreationFailure onCreationFailure = {}, CreationHandler creationHandler = {},
                         desktop::Screen* screen = nullptr);
  HRESULT invoke(int32_t dispid, std::vector<Variant>& args, Variant& result, ErrorInfo& error) override;
  TDatas& datas() { return *datas_; }

 private:
  std::unique_ptr<TDatas> datas_;
};

}  // namespace rvz::services

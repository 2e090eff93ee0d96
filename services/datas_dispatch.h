// The data service object as the remote object runtime reaches it: the
// operations of Idatas by dispatch id, each turned into a call on TDatas
// with its arguments in parameter order.
#pragma once

#include <memory>

#include "platform/remoting/dispatch.h"
#include "services/dms.h"

namespace rvz::services {

class DatasDispatch : public remoting::DispatchObject {
 public:
  // Builds the object from its declaration and runs its creation handler.
  DatasDispatch();
  HRESULT invoke(int32_t dispid, std::vector<Variant>& args, Variant& result, ErrorInfo& error) override;
  TDatas& datas() { return *datas_; }

 private:
  std::unique_ptr<TDatas> datas_;
};

}  // namespace rvz::services

// The report service object as the remote object runtime reaches it: the
// operations of IDatasBb by dispatch id (the seven provider operations and
// SetFilter), each turned into a call on TDatasBb.
#pragma once

#include <memory>

#include "platform/remoting/dispatch.h"
#include "services/dms_bb.h"

namespace rvz::services {

class DatasBbDispatch : public remoting::DispatchObject {
 public:
  // Builds the object from its declaration; a failure there throws and the
  // creation fails.
  DatasBbDispatch() : datasBb_(std::make_unique<TDatasBb>()) {}
  HRESULT invoke(int32_t dispid, std::vector<Variant>& args, Variant& result, ErrorInfo& error) override;
  TDatasBb& datasBb() { return *datasBb_; }

 private:
  std::unique_ptr<TDatasBb> datasBb_;
};

}  // namespace rvz::services

// The server's own type library `Quib`: the interfaces Idatas and IDatasBb
// (both on IAppServer), the classes datas (Quib.datas) and DatasBb
// (Quib.DatasBb), and the dispatch ids of their own methods. Registration,
// the object runtime's class objects and the dispatch of both classes read
// it from here.
#pragma once

#include <cstdint>

#include "platform/remoting/type_library.h"

namespace rvz::services {

// Dispatch ids of the service methods; IDatasBb has SetFilter alone. The
// IAppServer operations keep the data-packet library's ids
// (remoting::AppServerDispid).
enum ServiceDispid : int32_t {
  kSetFilter = 1,
  kGetAccounts = 2,
  kConnectAct = 301,
  kGetServerDate = 302,
  kGetServerDateTime = 305,
  kGetTableNames = 306,
  kCompactDatabase = 307,
  kBackupData = 308,
};

const remoting::TypeLibraryDesc& quibTypeLibrary();
const remoting::InterfaceDesc& idatasInterface();
const remoting::InterfaceDesc& idatasBbInterface();
const remoting::ClassDesc& datasClass();
const remoting::ClassDesc& datasBbClass();

}  // namespace rvz::services

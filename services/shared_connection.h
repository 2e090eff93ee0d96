// The company-database connection Cn of a data service object as report
// service objects borrow it across object threads: the owner lends it, each
// report service object holds a reference to it ("Datas.Cn") that is
// pending, bound or unbound, and every use of it — by the owner or by any
// borrower — runs under one guard, so that no two uses overlap and the
// owner cannot close and destroy it while a borrower is in the middle of a
// use.
//
// Lock order, where locks nest (a thread only ever takes a lock further
// down this list while holding one further up):
//   1. the process-wide lock of the live objects (LiveObjects::lock): held
//      while an object is built and bound, and while one is destroyed;
//   2. the host lock of a service object (ProviderHost): held by each
//      provider operation;
//   3. the guard of a lent connection (SharedConnection): held by each use;
//   4. the binding lock of a connection reference (BorrowedConnection): held
//      only to read or write which connection the reference is bound to;
//      nothing is taken under it;
//   5. the activity log's queue, which the command watch feeds during a use.
// The SQL Server link's flow lock (link/sql_server_link.h), held for a whole
// connect-or-configure flow, comes before 3: the flow takes the guard only
// to assign and open Cn, never while it waits for the operator, and no
// thread takes the flow lock while it holds 1, 2 or 3.
// Locks 1 and 2 never nest: building and destroying take no host lock, and
// no operation takes the process-wide lock. A use reads its binding under 4,
// lets it go, and only then takes 3.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/data/connection.h"

namespace rvz::services {

class BorrowedConnection;

// The lending side, created by the owner together with its Cn and shared
// with the references that bind to it. It outlives the owner as long as a
// reference holds it; from the owner's destruction on it lends nothing.
class SharedConnection {
 public:
  explicit SharedConnection(data::Connection& cn) : cn_(&cn) {}
  SharedConnection(const SharedConnection&) = delete;
  SharedConnection& operator=(const SharedConnection&) = delete;

  // One use of the connection: the guard for as long as it lives. Waits
  // while another thread uses the connection.
  std::unique_lock<std::mutex> use() { return std::unique_lock(guard_); }

  // The connection, or null once the owner has withdrawn it. Only while a
  // use is held.
  data::Connection* connection() const { return cn_; }

  // The owner's destruction, under the process-wide lock: waits for the use
  // in progress, then unbinds every reference bound here (their datasets
  // close and lose the connection) and lends nothing from then on.
  void withdraw();

  // References bound here; under the process-wide lock.
  void addBorrower(BorrowedConnection* b);
  void removeBorrower(BorrowedConnection* b);

 private:
  std::mutex guard_;
  data::Connection* cn_;                        // under guard_
  std::vector<BorrowedConnection*> borrowers_;  // under the process-wide lock
};

// The borrowing side: a report service object's reference to the Cn of the
// live object named `objectName`. `attach` gives the object's datasets a
// connection (null: take it away; they are closed first).
class BorrowedConnection {
 public:
  using Attach = std::function<void(data::Connection*)>;
  BorrowedConnection(std::string objectName, Attach attach)
      : objectName_(std::move(objectName)), attach_(std::move(attach)) {}
  BorrowedConnection(const BorrowedConnection&) = delete;
  BorrowedConnection& operator=(const BorrowedConnection&) = delete;

  const std::string& objectName() const { return objectName_; }

  enum class State { Pending, Bound, Unbound };
  State state();

  // One use by the reference's own object thread: the guard of the bound
  // connection, with the datasets attached to it, for as long as the lock
  // lives; an empty lock while pending or unbound (the datasets then have
  // no connection, and opening them fails).
  std::unique_lock<std::mutex> use();

  // Binding, under the process-wide lock: a pending reference becomes bound.
  void bind(std::shared_ptr<SharedConnection> lender);
  // The owner is withdrawing the connection: under the process-wide lock and
  // the lender's guard. The datasets close and lose it.
  void unbind();
  // The object is being destroyed, under the process-wide lock: a bound
  // reference lets go of the connection once the use in progress (of any
  // thread) has ended.
  void release();

 private:
  std::shared_ptr<SharedConnection> lender();

  const std::string objectName_;
  const Attach attach_;
  std::mutex bindingLock_;
  std::shared_ptr<SharedConnection> lender_;  // under bindingLock_; null while pending
  bool attached_ = false;                     // under the lender's guard
};

}  // namespace rvz::services

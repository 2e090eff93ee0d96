// Lending and borrowing the company-database connection.
#include "services/shared_connection.h"

#include <algorithm>

namespace rvz::services {

void SharedConnection::withdraw() {
  auto guard = use();
  for (BorrowedConnection* b : borrowers_) b->unbind();
  borrowers_.clear();
  cn_ = nullptr;
}

void SharedConnection::addBorrower(BorrowedConnection* b) { borrowers_.push_back(b); }

void SharedConnection::removeBorrower(BorrowedConnection* b) {
  borrowers_.erase(std::remove(borrowers_.begin(), borrowers_.end(), b), borrowers_.end());
}

std::shared_ptr<SharedConnection> BorrowedConnection::lender() {
  std::lock_guard g(bindingLock_);
  return lender_;
}

BorrowedConnection::State BorrowedConnection::state() {
  auto l = lender();
  if (!l) return State::Pending;
  auto guard = l->use();
  return l->connection() ? State::Bound : State::Unbound;
}

std::unique_lock<std::mutex> BorrowedConnection::use() {
  auto l = lender();
  if (!l) return {};
  auto guard = l->use();
  // The datasets get the connection on their own thread, at their first use
  // after binding: the binding thread never touches them.
  if (data::Connection* cn = l->connection(); cn && !attached_) {
    attach_(cn);
    attached_ = true;
  }
  return guard;
}

void BorrowedConnection::bind(std::shared_ptr<SharedConnection> lender) {
  lender->addBorrower(this);
  std::lock_guard g(bindingLock_);
  lender_ = std::move(lender);
}

void BorrowedConnection::unbind() {
  if (!attached_) return;
  attach_(nullptr);
  attached_ = false;
}

void BorrowedConnection::release() {
  auto l = lender();
  if (!l) return;
  auto guard = l->use();
  if (l->connection()) {
    unbind();
    l->removeBorrower(this);
  }
}

}  // namespace rvz::services

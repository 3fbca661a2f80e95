#include "platform/foundation/AFHTTPRequestOperation.h"

#include "platform/foundation/MainQueue.h"

namespace ox {

AFHTTPRequestOperation::AFHTTPRequestOperation(const HttpRequest& request)
    : m_request(request),
      m_operation(std::make_shared<Operation>()),
      m_transfer(std::make_shared<HttpCancel>(request.cancel)) {}

std::shared_ptr<AFHTTPRequestOperation> AFHTTPRequestOperation::initWithRequest(const HttpRequest& request) {
  std::shared_ptr<AFHTTPRequestOperation> op(new AFHTTPRequestOperation(request));
  // The operation keeps itself until it has reported; the queue drops these blocks once they have run.
  op->m_operation->addExecutionBlock([op] { op->run(); });
  op->m_operation->setCompletionBlock([op] { dispatchMain([op] { op->deliver(); }); });
  return op;
}

HttpResponse AFHTTPRequestOperation::response() const {
  std::lock_guard lock(m_mutex);
  return m_response;
}

void AFHTTPRequestOperation::setCompletionBlockWithSuccess(Success success, Failure failure) {
  m_success = std::move(success);
  m_failure = std::move(failure);
}

void AFHTTPRequestOperation::setResponseProcessor(Processor processor) { m_processor = std::move(processor); }

void AFHTTPRequestOperation::addToQueue(OperationQueue& queue) { queue.addOperation(m_operation); }

void AFHTTPRequestOperation::cancel() {
  abandon();
  m_transfer->cancel();
}

void AFHTTPRequestOperation::abandon() {
  m_cancelled = true;
  m_operation->cancel();
}

void AFHTTPRequestOperation::run() {
  if (isCancelled()) return;
  HttpRequest request = m_request;
  request.cancel = m_transfer;
  HttpResponse response = httpPerform(request);
  bool ok = response.isSuccess();
  QString error = response.transportOk ? QStringLiteral("HTTP status %1").arg(response.status) : response.error;
  if (ok && m_processor && !m_processor(*this, response.body)) {
    ok = false;
    error = QStringLiteral("unusable answer");
  }
  std::lock_guard lock(m_mutex);
  m_response = std::move(response);
  m_succeeded = ok;
  m_error = ok ? QString() : error;
}

void AFHTTPRequestOperation::deliver() {
  // Taken out first, so that whatever the caller's blocks hold goes away here, on the main thread.
  Success success = std::exchange(m_success, nullptr);
  Failure failure = std::exchange(m_failure, nullptr);
  Processor processor = std::exchange(m_processor, nullptr);
  if (isCancelled()) return;
  bool ok;
  QString error;
  QByteArray body;
  {
    std::lock_guard lock(m_mutex);
    ok = m_succeeded;
    error = m_error;
    body = m_response.body;
  }
  if (ok) {
    if (success) success(*this, body);
  } else if (failure) {
    failure(*this, error);
  }
}

}  // namespace ox

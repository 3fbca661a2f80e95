#pragma once
#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/foundation/HttpClient.h"
#include "platform/foundation/OperationQueue.h"

namespace ox {

// One asynchronous request through the HTTP client: it runs on an operation queue and reports on the main queue.
// A 2xx answer is a success, with the body as it came; anything else (no answer, another status) is a failure.
// A cancelled operation reports nothing; whatever runs when, every block is released on the main thread.
class AFHTTPRequestOperation : public std::enable_shared_from_this<AFHTTPRequestOperation> {
 public:
  using Success = std::function<void(AFHTTPRequestOperation& operation, const QByteArray& data)>;
  using Failure = std::function<void(AFHTTPRequestOperation& operation, const QString& error)>;
  // Runs on the operation's own thread after a 2xx answer, cancelled or not: work kept off the main thread. Answering
  // false turns the success into a failure.
  using Processor = std::function<bool(AFHTTPRequestOperation& operation, const QByteArray& data)>;

  static std::shared_ptr<AFHTTPRequestOperation> initWithRequest(const HttpRequest& request);
  AFHTTPRequestOperation(const AFHTTPRequestOperation&) = delete;
  AFHTTPRequestOperation& operator=(const AFHTTPRequestOperation&) = delete;

  const HttpRequest& request() const { return m_request; }
  // The answer, once the request has run (empty before).
  HttpResponse response() const;

  // Both set before the operation is queued.
  void setCompletionBlockWithSuccess(Success success, Failure failure);
  void setResponseProcessor(Processor processor);

  // Queues the operation; an operation runs once.
  void addToQueue(OperationQueue& queue);
  // A waiting operation is dropped; a running one ends its transfer within about a tenth of a second (also when the
  // request carries a token of its own). No block of the caller is called.
  void cancel();
  // A waiting operation is dropped; a running one finishes its transfer and its processor still runs (seeing the
  // operation cancelled), but no other block of the caller is called: for an answer still worth keeping.
  void abandon();
  bool isCancelled() const { return m_cancelled.load(); }
  bool isFinished() const { return m_operation->isFinished(); }

 private:
  explicit AFHTTPRequestOperation(const HttpRequest& request);
  void run();
  void deliver();

  const HttpRequest m_request;
  const std::shared_ptr<Operation> m_operation;
  const std::shared_ptr<HttpCancel> m_transfer;  // carried by the transfer, under the request's own token
  std::atomic<bool> m_cancelled{false};
  Processor m_processor;  // read by the running thread only
  mutable std::mutex m_mutex;
  HttpResponse m_response;
  bool m_succeeded = false;
  QString m_error;
  Success m_success;  // main thread
  Failure m_failure;  // main thread
};

}  // namespace ox

// Lets an object keep its pending operation among its values (a layer's entries, a widget's properties).
Q_DECLARE_METATYPE(std::shared_ptr<ox::AFHTTPRequestOperation>)

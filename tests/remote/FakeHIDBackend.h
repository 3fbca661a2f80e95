#pragma once
#include <QString>
#include <QVariantMap>

#include "remote/HIDRemoteBackend.h"

// A receiver for tests. Exclusive access is an flock on `lockPath`, so two backends, in one process or in two,
// refuse each other as two grabs of one device do.
class FakeHIDBackend final : public HIDRemoteBackend {
 public:
  explicit FakeHIDBackend(const QString& lockPath = {}) : m_lockPath(lockPath) {}
  ~FakeHIDBackend() override { close(); }

  bool present = true;
  bool failOpen = false;
  int generation = 1000;
  QVariantMap properties;
  std::vector<quint32> cookies{2, 12, 13, 14, 20, 21, 22, 23, 24, 25, 30, 31, 32, 33, 37};
  int openCount = 0;

  // Delivers the batch of a cookie string ("33_31_30_21_20_2_"), its first event carrying `sum`.
  void deliver(const QString& cookieString, qint32 sum);
  void deliver(const HIDEventBatch& batch) {
    if (m_open && m_handler) m_handler(batch);
  }

  bool findDevice(const QString&) override { return present; }
  QVariant deviceProperty(const QString& key) const override { return properties.value(key); }
  int cookieGeneration() const override { return generation; }
  OpenResult open(bool exclusive) override;
  std::vector<quint32> elementCookies() const override { return cookies; }
  void setBatchHandler(BatchHandler handler) override { m_handler = std::move(handler); }
  void close() override;
  bool isOpen() const override { return m_open; }

 private:
  QString m_lockPath;
  int m_lockFd = -1;
  bool m_open = false;
  BatchHandler m_handler;
};

#pragma once
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

// Reads the streaming child's terminal output as it arrives, in chunks of any size: decodes it leniently (any byte
// sequence, split characters joined), drops the terminal control sequences (a sequence cut by a chunk's end waits
// for the rest), and reads the three texts the driver acts on from each line, including a line still being written
// once its marker is complete. Screen clears and cursor moves to the top end a line, as peerflix redraws its screen.
// One reader at a time; any thread.
class OXPeerflixOutput {
 public:
  struct Reading {
    // The connected peers' figure, null when this chunk completed none.
    QString peers;
    // The download figure of a streaming line, null when none.
    QString buffering;
    // The local stream address without a trailing slash: set once, with the chunk that completes it.
    QString address;
    bool isEmpty() const { return peers.isNull() && buffering.isNull() && address.isNull(); }
  };

  Reading feed(QByteArrayView bytes);
  bool addressFound() const { return addressFound_; }

  // The texts of one line. A line still being written (complete false) gives only figures whose closing text has
  // arrived; a complete one also an address that runs to its end.
  static QString peersIn(const QString& line);
  static QString bufferingIn(const QString& line);
  static QString addressIn(const QString& line, bool complete);

 private:
  void take(QChar c, QStringList& lines);
  void endLine(QStringList& lines);

  QStringDecoder decoder_{QStringDecoder::Utf8};
  // The control sequence being read, from its escape character; empty outside one.
  QString escape_;
  QString line_;
  bool addressFound_ = false;
};

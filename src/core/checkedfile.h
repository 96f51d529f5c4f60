#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

// A new file that remembers the first error any write to it met, for writers that do not report
// their own (QPdfWriter, encoders writing through a device). Writes are buffered; finish() puts
// out the rest, closes the file and throws the plain failure of the first error. A file never
// finished is closed without checks; the caller removes it.
class CheckedFile : public QIODevice
{
  public:
    enum class Existing { replace, refuse };
    // Creates `path`, emptying a file there or refusing it; throws the plain failure when it can't.
    explicit CheckedFile(const QString& path, Existing existing = Existing::replace);
    ~CheckedFile() override;

    bool isSequential() const override { return false; }
    qint64 size() const override;
    // Writes out what is buffered, closes the file and throws if any step failed.
    void finish();
    // The errno of the first failed write, or 0.
    int error() const { return m_error; }
    // After a failure, further writes are taken and dropped instead of refused: for encoders that
    // print their own noise when a write is refused (libpng, libtiff). finish() still throws.
    void absorbFailures() { m_absorb = true; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    bool flushBuffer();
    void fail(int error);

    QString m_path;
    int m_fd = -1;
    int m_error = 0;
    bool m_absorb = false;
    QByteArray m_buffer;
    qint64 m_bufferStart = 0; // where in the file the buffer begins
};

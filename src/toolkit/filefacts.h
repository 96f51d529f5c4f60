#pragma once

#include "toolkit/factreader.h"
#include "toolkit/pools.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

// One fact per file (a clip's length, a PDF's page count), read off the main thread: each file
// of a request once, one after another on the pool (the loader pool unless told otherwise), and
// all the facts published together on the main thread. A read that throws gives a default T.
// What a request holds is kept by file, so reordering the files needs no new request.
template <class T> class FileFacts : public FactReader
{
  public:
    // Blocks; runs on a thread of the pool.
    using Read = std::function<T(const QString& path)>;

    explicit FileFacts(Read read, QObject* parent = nullptr)
        : FileFacts(std::move(read), Pools::loader(), parent)
    {
    }
    FileFacts(Read read, QThreadPool& pool, QObject* parent = nullptr)
        : FactReader(pool, parent), m_read(std::move(read))
    {
    }

    // Reads the facts of `files`, in place of any request still under way.
    void request(const QStringList& files)
    {
        auto facts = std::make_shared<QHash<QString, T>>();
        begin(
            [files, facts, read = m_read](const std::function<bool()>& wanted) {
                for (const QString& file : files) {
                    if (!wanted()) return;
                    if (!facts->contains(file)) facts->insert(file, readOne(read, file));
                }
            },
            [this, files, facts] {
                m_files = files;
                m_byFile = std::move(*facts);
            });
    }

    // The files of the newest published request, as it listed them; empty until one is.
    const QStringList& files() const { return m_files; }
    // Their facts, in the same order.
    QList<T> facts() const
    {
        QList<T> ordered;
        ordered.reserve(m_files.size());
        for (const QString& file : m_files)
            ordered.append(m_byFile.value(file));
        return ordered;
    }
    const QHash<QString, T>& byFile() const { return m_byFile; }
    // A file's fact once it is published.
    std::optional<T> fact(const QString& file) const
    {
        const auto found = m_byFile.constFind(file);
        return found == m_byFile.constEnd() ? std::nullopt : std::optional<T>(*found);
    }

  private:
    static T readOne(const Read& read, const QString& file)
    {
        try {
            return read(file);
        } catch (...) {
            return T();
        }
    }

    Read m_read;
    QStringList m_files;
    QHash<QString, T> m_byFile;
};

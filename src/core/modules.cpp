#include "core/modules.h"

#include "core/converterror.h"

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <dlfcn.h>
#include <mutex>

namespace Modules {

namespace {

struct Row
{
    Module module;
    const char* file;   // beside the core library
    const char* symbol; // extern "C" const void* symbol()
};

const Row rows[] = {
    {Module::engines, "libtolvane_engines_heavy.so", "tolvane_engines_heavy_entries"},
    {Module::recognition, "libtolvane_recognition.so", "tolvane_recognition_entries"},
    {Module::pdfText, "libtolvane_pdftext.so", "tolvane_pdftext_entries"},
    {Module::gui, "libtolvane_gui.so", "tolvane_gui_entries"},
};

// The folder this library was loaded from, never the current folder or a search path.
QByteArray ownFolder()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(static_cast<const void* (*)(Module)>(&entries)), &info) == 0 ||
        !info.dli_fname)
        return {};
    return QFile::encodeName(QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath());
}

const void* load(const Row& row)
{
    const auto failure = [&row](const char* reason) {
        return ConvertError::failed(
            QStringLiteral("Tolvane can’t load its part %1").arg(QString::fromLatin1(row.file)),
            QString::fromLocal8Bit(reason ? reason : "unknown reason"));
    };
    // Recognition brings OpenMP, whose idle workers spin by default: on a busy machine they starve
    // everything else, recognition included. The runtime reads its policy once, as it loads.
    if (row.module == Module::recognition && !qEnvironmentVariableIsSet("OMP_WAIT_POLICY"))
        qputenv("OMP_WAIT_POLICY", "passive");
    void* handle = ::dlopen(row.file, RTLD_NOW | RTLD_NOLOAD);
    if (!handle) {
        const QByteArray folder = ownFolder();
        if (folder.isEmpty()) throw failure("the program’s own folder is unknown");
        handle = ::dlopen((folder + '/' + row.file).constData(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle) throw failure(::dlerror());
    using Entry = const void* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(handle, row.symbol));
    if (!entry) throw failure(::dlerror());
    return entry();
}

} // namespace

const void* entries(Module module)
{
    static std::mutex mutex;
    static const void* loaded[std::size(rows)] = {};
    const std::lock_guard lock(mutex);
    for (size_t i = 0; i < std::size(rows); ++i) {
        if (rows[i].module != module) continue;
        if (!loaded[i]) loaded[i] = load(rows[i]);
        return loaded[i];
    }
    throw ConvertError::failed(QStringLiteral("Tolvane has no such part"));
}

} // namespace Modules

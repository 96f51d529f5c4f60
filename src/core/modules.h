#pragma once

// The parts of the program that pull in heavy libraries live in shared modules beside the core
// library and are loaded on first use, so a command pays only for what it runs.
namespace Modules {

enum class Module {
    engines,     // images, PDF, documents, slides, spreadsheets, packages
    recognition, // text and faces in pictures
    pdfText,     // the text of PDF pages, without Qt Gui
    gui,         // tray, wheel, windows, renderings
};

// The entry table the module exports, loaded on the first call (any thread) and kept for the
// life of the process. A module the process already holds (a program or test linked to it) is
// used as it is. Throws ConvertError naming the module and the loader's reason when it cannot
// be loaded.
const void* entries(Module module);

// The same, typed: each entry table names its own module (`static constexpr Module module`), so
// `Modules::entries<HeavyEngines>()` is the one way to reach a module.
template <class Table> const Table& entries()
{
    return *static_cast<const Table*>(entries(Table::module));
}

} // namespace Modules

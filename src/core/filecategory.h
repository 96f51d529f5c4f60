#pragma once

// The kind of a file, decided by its format key.
enum class FileCategory {
    image,
    audio,
    video,
    pdf,
    document,
    slides,
    spreadsheet,
    epub,
    subtitle,
    archive,
    text
};

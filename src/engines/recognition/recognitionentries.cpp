#include "engines/recognition/ocr.h"
#include "engines/recognition/recognitionmodule.h"

namespace {

const RecognitionModule entries{OCR::recognize, OCR::recognizeLater, OCR::parallelism, OCR::textBoxes,
                                OCR::faceBoxes};

} // namespace

extern "C" __attribute__((visibility("default"))) const void* tolvane_recognition_entries()
{
    return &entries;
}

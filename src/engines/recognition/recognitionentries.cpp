#include "engines/recognition/ocr.h"
#include "engines/recognition/recognitionmodule.h"

namespace {

const RecognitionModule entries{
    .recognize = OCR::recognize,
    .recognizeLater = OCR::recognizeLater,
    .parallelism = OCR::parallelism,
    .textBoxes = OCR::textBoxes,
    .faceBoxes = OCR::faceBoxes,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const void* tolvane_recognition_entries()
{
    return &entries;
}

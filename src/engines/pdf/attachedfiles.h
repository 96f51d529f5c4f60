#pragma once

#include <functional>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>
#include <string>

class QPDF;

// The list of attached files of a new PDF, filled from the PDFs it is made of.
class AttachedFiles
{
  public:
    explicit AttachedFiles(QPDF& out);

    // Hands `visit` every file entry of `pdf` that holds its file (under /EF), wherever
    // it is written: in the list of attached files, in file attachment comments, anywhere.
    static void each(QPDF& pdf, const std::function<void(QPDFObjectHandle&)>& visit);

    // Adds the files listed in `source` under their own names.
    void addListed(QPDF& source);

    // Adds every file `source` holds: its listed files under their names, then those attached
    // anywhere else (comments on its pages) under their file names; each file once.
    void addEvery(QPDF& source);

    // Adds the file of the file entry `fileSpec` of `source` as `name`. A name the list
    // holds already is kept when it names the same data; otherwise the file is listed as
    // "name 2.ext", "name 3.ext", … Returns false when `fileSpec` holds no file.
    bool add(QPDF& source, QPDFObjectHandle fileSpec, const std::string& name);

  private:
    QPDF& m_out;
    QPDFEmbeddedFileDocumentHelper m_list;
    std::set<std::pair<unsigned long long, QPDFObjGen>> m_added; // (source id, file stream)
};

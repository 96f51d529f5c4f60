#include "tools/image/shared/firstpreview.h"

void FirstPreview::arrived()
{
    if (m_settled) return;
    m_settled = true;
    emit settled();
}

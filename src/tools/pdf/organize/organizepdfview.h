#pragma once

#include "toolkit/toolview.h"

class LoadingView;
class PageGrid;
class PageList;
class PageThumbs;
class QLabel;
class QScrollArea;
class QStackedLayout;
class SecondaryButton;

// The Organize PDF window: the pages of the first dropped PDF as tiles to reorder, rotate,
// duplicate and delete; saving writes "<base> Organized.pdf" from copies of the source's pages.
class OrganizePDFView : public ToolView
{
    Q_OBJECT
  public:
    // Each page's picture is made to fit this many pixels, twice the tile's frame.
    static constexpr QSize pictureBox{220, 280};

    explicit OrganizePDFView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    PageList& pages() const { return *m_list; }
    const PageThumbs& thumbs() const { return *m_thumbs; }
    PageGrid* grid() const { return m_grid; }
    QLabel* counter() const { return m_counter; }
    SecondaryButton* rotateLeftButton() const { return m_rotateLeft; }
    SecondaryButton* rotateRightButton() const { return m_rotateRight; }
    SecondaryButton* duplicateButton() const { return m_duplicate; }
    SecondaryButton* deleteButton() const { return m_delete; }
    SecondaryButton* resetButton() const { return m_reset; }
    // Shows why the file can't be organized, in place of the grid.
    LoadingView* errorView() const { return m_error; }

  protected:
    void apply() override;

  private:
    QWidget* toolbar();
    QWidget* gridArea();
    void counted();
    void showState();

    PageThumbs* m_thumbs;
    PageList* m_list;
    PageGrid* m_grid = nullptr;
    QScrollArea* m_scroll = nullptr;
    QStackedLayout* m_stack = nullptr;
    LoadingView* m_error = nullptr;
    QLabel* m_counter = nullptr;
    SecondaryButton* m_rotateLeft = nullptr;
    SecondaryButton* m_rotateRight = nullptr;
    SecondaryButton* m_duplicate = nullptr;
    SecondaryButton* m_delete = nullptr;
    SecondaryButton* m_reset;
};

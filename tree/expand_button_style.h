// The look of the project tree: the classic style with its dotted lines, and an expand
// button only where the tree's own children flag asks for one.
//
// Qt draws the button wherever the model reports children. The tree keeps its children
// flag apart from that (a project of files only keeps its files listed but has no
// button), so the style asks the tree, row by row, whether to leave the button out.
#pragma once

#include <QProxyStyle>

#include <functional>

namespace varnotte {

class ExpandButtonStyle : public QProxyStyle {
  public:
    // `hideButton` answers for the row being drawn; the tree sets it around each row's
    // branches. Takes the classic "Windows" style as its base where Qt has it.
    explicit ExpandButtonStyle(std::function<bool()> hideButton);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

  private:
    std::function<bool()> hideButton_;
};

}  // namespace varnotte

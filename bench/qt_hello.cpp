// The start-up reference for a Qt program of Tintvale's size: a fixed 282x60 window with two line edits and
// a check box, nothing else. What Qt alone costs to reach a mapped window, and its memory.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setFixedSize(282, 60);
  QLineEdit coordinates(&window);
  coordinates.setGeometry(8, 4, 120, 20);
  QLineEdit entry(&window);
  entry.setGeometry(8, 32, 120, 20);
  QCheckBox check(QStringLiteral("常に手前に表示"), &window);
  check.setGeometry(136, 32, 140, 20);
  window.show();
  return QApplication::exec();
}

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setFixedSize(960, 700);
    window.show();
    return app.exec();
}

#pragma once

#include <QImage>

#include <memory>

// A picture object: a shared, reference-counted handle to one picture. Copies of a StdPicture are the same
// object; its pixels are never copied when it is handed from control to control.
class StdPicture
{
public:
    StdPicture() = default; // holds no picture: Handle() is 0
    explicit StdPicture(QImage image);

    // Non-zero, and distinct for every picture object made in this run, while the object holds a picture.
    qint32 Handle() const noexcept;

    const QImage &image() const noexcept;
    int width() const noexcept { return image().width(); }
    int height() const noexcept { return image().height(); }

    // Two handles are equal when they refer to one and the same picture object.
    friend bool operator==(const StdPicture &a, const StdPicture &b) noexcept { return a.d == b.d; }

private:
    struct Data;
    std::shared_ptr<const Data> d;
};

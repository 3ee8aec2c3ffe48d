#pragma once

// The pictures of the user guides (docs/guide.md, docs/navod.md), taken from the real window.
//
//     TFormBase form;   // a fresh window on fresh module state, shown
//     const QImage picture = Screenshots::TakePicture(form, QStringLiteral("xor-trained"));
//     Screenshots::Indexed(picture).save("xor-trained.png");
//
// Every weight that the window would draw from the clock is drawn from a fixed seed instead, so
// that every run gives the same pictures.

#include <QImage>
#include <QString>
#include <QStringList>

class TFormBase;

namespace Screenshots {

// The names of the pictures, in the order in which the guides show them.
QStringList PictureNames();

// Puts `form`, a window just created and shown, into the state that the picture `name` shows and
// returns the picture: the window's client area, a part of it, or its save dialog. Throws
// std::invalid_argument for a name that PictureNames does not list.
QImage TakePicture(TFormBase& form, const QString& name);

// The picture with a palette of at most 256 colours, its most frequent ones, each other colour
// replaced by the nearest of them: small as a PNG file, and the same in every run.
QImage Indexed(const QImage& picture);

}  // namespace Screenshots

#include "ombrix/control/VirtualKey.h"

namespace ombrix {

int VirtualKey::fromQt(int key, Qt::KeyboardModifiers modifiers) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return (modifiers & Qt::KeypadModifier) ? 96 + (key - Qt::Key_0) : 48 + (key - Qt::Key_0);
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 65 + (key - Qt::Key_A);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 112 + (key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Tab:
            return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Shift:
            return 16;
        case Qt::Key_Control:
            return 17;
        case Qt::Key_Alt:
            return 18;
        case Qt::Key_Pause:
            return 19;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Space:
            return 32;
        case Qt::Key_PageUp:
            return 33;
        case Qt::Key_PageDown:
            return 34;
        case Qt::Key_End:
            return 35;
        case Qt::Key_Home:
            return 36;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        case Qt::Key_Insert:
            return 45;
        case Qt::Key_Delete:
            return 46;
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return (modifiers & Qt::KeypadModifier) ? 107 : 187;
        case Qt::Key_Minus:
            return (modifiers & Qt::KeypadModifier) ? 109 : 189;
        case Qt::Key_Period:
            return (modifiers & Qt::KeypadModifier) ? 110 : 190;
        case Qt::Key_Slash:
            return (modifiers & Qt::KeypadModifier) ? 111 : 191;
        case Qt::Key_MediaNext:
            return 176;
        case Qt::Key_MediaPrevious:
            return 177;
        case Qt::Key_MediaStop:
            return 178;
        case Qt::Key_MediaPlay:
        case Qt::Key_MediaTogglePlayPause:
            return 179;
        default:
            return 0;
    }
}

}  // namespace ombrix

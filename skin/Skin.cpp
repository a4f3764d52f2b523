#include "skin/Skin.h"

#include <array>

namespace {

constexpr std::array<SkinKey, 21> keys{{
    {"window.background", &Skin::windowBackground},
    {"window.text", &Skin::windowText},
    {"disabled.text", &Skin::disabledText},
    {"input.background", &Skin::inputBackground},
    {"input.text", &Skin::inputText},
    {"highlight", &Skin::highlight},
    {"highlight.text", &Skin::highlightText},
    {"button.background", &Skin::buttonBackground},
    {"button.text", &Skin::buttonText},
    {"button.border", &Skin::buttonBorder},
    {"button.hover", &Skin::buttonHover},
    {"button.pressed", &Skin::buttonPressed},
    {"button.disabled.background", &Skin::buttonDisabledBackground},
    {"button.disabled.text", &Skin::buttonDisabledText},
    {"frame.background", &Skin::frameBackground},
    {"frame.border", &Skin::frameBorder},
    {"frame.title", &Skin::frameTitle},
    {"frame.text", &Skin::frameText},
    {"status.background", &Skin::statusBackground},
    {"status.text", &Skin::statusText},
    {"status.border", &Skin::statusBorder},
}};

} // namespace

std::span<const SkinKey> skinKeys()
{
    return keys;
}

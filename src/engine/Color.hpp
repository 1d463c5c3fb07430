#pragma once
// A text colour as red, green, blue and alpha components from 0 to 1.
namespace hexora {

struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace hexora

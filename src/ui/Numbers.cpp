#include "ui/Numbers.h"

#include <QByteArray>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

double LeadingNumber(const QString& text) {
    // [blanks][sign]digits[.digits][e[sign]digits], the way a C reader takes a number off a text;
    // words such as "inf" or "nan" are not numbers here.
    const QByteArray s = text.toLatin1();
    size_t i = 0;
    while (i < static_cast<size_t>(s.size()) && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    const size_t start = i;
    if (i < static_cast<size_t>(s.size()) && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < static_cast<size_t>(s.size()) && std::isdigit(static_cast<unsigned char>(s[i])))
        ++i, ++digits;
    if (i < static_cast<size_t>(s.size()) && s[i] == '.') {
        ++i;
        while (i < static_cast<size_t>(s.size()) && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    size_t end = i;
    if (i < static_cast<size_t>(s.size()) && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < static_cast<size_t>(s.size()) && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < static_cast<size_t>(s.size()) && std::isdigit(static_cast<unsigned char>(s[j]))) {
            while (j < static_cast<size_t>(s.size()) && std::isdigit(static_cast<unsigned char>(s[j])))
                ++j;
            end = j;
        }
    }
    bool ok = false;
    const double v = QByteArray(s.constData() + start, static_cast<qsizetype>(end - start)).toDouble(&ok);
    return (ok && std::isfinite(v)) ? v : 0;
}

int GuardedInt(double value, int lo, int hi) {
    if (std::isnan(value))
        return lo;
    const double r = std::round(std::clamp(value, static_cast<double>(lo), static_cast<double>(hi)));
    return static_cast<int>(r);
}

QString CFormat(const char* format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return QString::fromUtf8(buf);
}

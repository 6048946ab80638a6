#pragma once

#include <QByteArray>
#include <QString>

// Text conversions the protocol is built on. A frame is assembled as text,
// each byte written as a byte text of two uppercase hex digits ("3D", "AA"),
// and turned into raw bytes only when it is written; received bytes travel
// the other way.

// Hex digits of value, most significant first, at least two ("05", "E7",
// "100"). Negative values are written as their 32-bit two's complement
// ("FFFFFFFF" for -1); the protocol never produces them.
QString IntToHex(int value);

// The value of a hex text; spaces are skipped wherever they stand, an empty
// text gives 0, and a character that is neither a hex digit nor a space gives
// -1. Texts longer than eight digits keep their last eight.
int HexToInt(const QString &text);

// 0-15 for a hex digit (either case), 16 for anything else.
int HexCharValue(char ch);

// Converts hex pairs into bytes, skipping spaces between pairs. Stops at the
// first invalid pair or a lone trailing digit; the bytes stored until then
// stay. Returns the number of bytes, which is also the array's new size.
int HexTextToBytes(const QString &text, QByteArray &bytes);

// A character as the decimal readers take it: full-width digits, the
// full-width plus and minus signs and the ideographic space, which a Chinese
// input method types easily, mean their ASCII forms; all else is itself.
char16_t FoldFullWidth(char16_t c);

// A decimal number as it stands at `from` in a text: an optional sign, then
// ASCII digits (or their full-width forms) up to the first character that
// is not one. The value is
// clamped to the signed 32-bit range; `end` is where the digits stop.
struct DecimalScan
{
    int value = 0;
    qsizetype end = 0;
    bool hasDigits = false;
    bool clamped = false;
};
DecimalScan ScanDecimal(const QString &text, qsizetype from);

// Reads the decimal number a text starts with, as a typed value or a reply's
// function code is read: leading white space, an optional sign, then digits
// up to the first non-digit. No digits give 0; a number beyond the signed
// 32-bit range gives the nearer limit.
int DecimalLeadingDigits(const QString &text);

// The byte text of one received byte followed by a space ("3D "), as the
// receive path hands it to the reply parser.
QString ReceivedByteText(unsigned char byte);

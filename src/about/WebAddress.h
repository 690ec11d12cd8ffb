#pragma once
#include <QString>
#include <QUrl>
#include <optional>

// What a web-link form may open for the text the user typed: an http, https or mailto address, or a
// bare dotted host name ("www.example.com/page") taken as http. Anything else, local paths and other
// schemes above all, gives nothing, so typed text can never run a program or open a local file.
std::optional<QUrl> webAddressToOpen(const QString& text);

#include "abstractdocument.h"

AbstractDocument::~AbstractDocument() = default;

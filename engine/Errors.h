// The exceptions of the converter and the file layer. File failures carry
// the messages users see, e.g. "Cannot open file x".
#pragma once

#include <stdexcept>

class EStreamError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
class EFOpenError : public EStreamError { // "Cannot open file %s"
public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError { // "Cannot create file %s"
public:
  using EStreamError::EStreamError;
};
class EReadError : public EStreamError { // "Stream read error"
public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError { // "Stream write error"
public:
  using EStreamError::EStreamError;
};

// The field converter: turns one source value (a legacy field, or a column read from
// the target) into the value of one destination parameter. Every operation overwrites
// and returns the same result object, which the caller copies out before the next call.
#pragma once

#include <string>

#include "global/fib/fib_query.h"
#include "global/variant.h"
#include "source/flashfiler/ff_components.h"
#include "source/transfert/transfert_types.h"

namespace korvel {

class TSrcToDest {
 public:
  using Column = fib::TFIBColumn;

  TSrcToDest() = default;
  TSrcToDest(const TSrcToDest&) = delete;
  TSrcToDest& operator=(const TSrcToDest&) = delete;

  THaveMsgEvent OnHaveMsgEvent;

  // Standard conversion by the field's type. Errors are reported, never raised.
  const TParamValue& AssignSrcToDest(const TField& AField, bool AStringUpper = false);
  // Standard conversion of a target-side column by its SQL type code.
  const TParamValue& AssignSrcToDest(const Column& AField);
  // The default's text instead of NULL; with no field, the default itself (NULL when
  // empty).
  const TParamValue& AssignSrcToDestNotNull(const TField* AField, const TDefault& ADefault);
  const TParamValue& AssignSrcToDestNotNull2(const Column& AField, const TDefault& ADefault);
  const TParamValue& AssignSrcToDestSpecial(TSpecialParam AType, const TField& AField, int AMaxLength = 0,
                                            int APos = 0);
  const TParamValue& AssignSrcToDestSpecial(TSpecialParam AType, const TField& ADate, const TField& ATime);
  // The special conversions of one text, for a column of a target query.
  const TParamValue& AssignSrcToDestSpecial(TSpecialParam AType, const Column& AField, int AMaxLength = 0);

  void ClearPreviousParameters() { FParam.Clear(); }
  const TParamValue& ParamClear();

  // Typed assigners (source fields).
  const TParamValue& ParamString(const TField& AField);
  const TParamValue& ParamInteger(const TField& AField);
  const TParamValue& ParamBoolean(const TField& AField);
  const TParamValue& ParamCurrency(const TField& AField);
  const TParamValue& ParamFloat(const TField& AField);
  const TParamValue& ParamDate(const TField& AField);
  const TParamValue& ParamDateTime(const TField& AField);
  const TParamValue& ParamBlob(const TField& AField);
  // Typed assigners (target-side columns).
  const TParamValue& ParamString(const Column& AField);
  const TParamValue& ParamInteger(const Column& AField);
  const TParamValue& ParamBoolean(const Column& AField);
  const TParamValue& ParamFloat(const Column& AField);
  const TParamValue& ParamDateTime(const Column& AField);
  const TParamValue& ParamBlob(const Column& AField);
  // Variants with a default.
  const TParamValue& ParamStringNotNull(const TField& AField, const TDefault& ADefault);
  const TParamValue& ParamBooleanNotNull(const TField& AField, const TDefault& ADefault);
  const TParamValue& ParamBlobNotNull(const TField& AField, const TDefault& ADefault);
  const TParamValue& ParamUseDefault(const TDefault& ADefault);

  // "O" for "TRUE"/"T" in any case or exactly "1"; "N" for anything else.
  static std::string StandardBoolean(const std::string& AValue);
  const TParamValue& EncryptPassword(const std::string& AValue);

  void SetErrMsg(const std::string& AMsg, bool ASaveCallStack) const;

  const TParamValue& Param() const { return FParam; }

 private:
  const TParamValue& SetText(const std::string& text);
  const TParamValue& SpecialOfText(TSpecialParam AType, const std::string& s, bool isText, int AMaxLength);
  // Blank rule: true (and the result NULL) when the text, trimmed, is empty.
  static bool IsBlank(const std::string& text);

  TParamValue FParam;
  std::string scratch_;
};

bool IsBlobLike(TFieldType type);

}  // namespace korvel

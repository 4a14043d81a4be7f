#include "source/transfert/src_to_dest.h"

#include <firebird/Interface.h>

#include <exception>

#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/transfert/password.h"

namespace korvel {
namespace {

// InterBase's Boolean type code, next to Firebird 3's own.
constexpr int kSqlBooleanInterbase = 590;

}  // namespace

bool IsBlobLike(TFieldType type) {
  return type == TFieldType::ftBlob || type == TFieldType::ftMemo || type == TFieldType::ftGraphic ||
         type == TFieldType::ftFmtMemo;
}

bool TSrcToDest::IsBlank(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) > ' ') return false;
  }
  return true;
}

void TSrcToDest::SetErrMsg(const std::string& AMsg, bool ASaveCallStack) const {
  if (OnHaveMsgEvent) OnHaveMsgEvent(this, AMsg, ASaveCallStack);
}

const TParamValue& TSrcToDest::ParamClear() {
  FParam.Clear();
  return FParam;
}

const TParamValue& TSrcToDest::SetText(const std::string& text) {
  FParam.SetText() = text;
  return FParam;
}

std::string TSrcToDest::StandardBoolean(const std::string& AValue) {
  const std::string upper = UpperCase(AValue);
  return (upper == "TRUE" || upper == "T" || AValue == "1") ? "O" : "N";
}

const TParamValue& TSrcToDest::EncryptPassword(const std::string& AValue) {
  return SetText(korvel::EncryptPassword(AValue));
}

// ------------------------------------------------------------ source fields

const TParamValue& TSrcToDest::ParamString(const TField& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  std::string& text = FParam.SetText();
  AField.GetAsString(text);
  if (IsBlank(text)) FParam.Clear();
  return FParam;
}

const TParamValue& TSrcToDest::ParamInteger(const TField& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  FParam.SetValue(Variant(AField.AsInteger()));
  return FParam;
}

const TParamValue& TSrcToDest::ParamBoolean(const TField& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  AField.GetAsString(scratch_);
  return SetText(IsBlank(scratch_) ? "N" : StandardBoolean(scratch_));
}

const TParamValue& TSrcToDest::ParamCurrency(const TField& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  FParam.SetValue(Variant(AField.AsCurrency()));
  return FParam;
}

const TParamValue& TSrcToDest::ParamFloat(const TField& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  FParam.SetValue(Variant(AField.AsFloat()));
  return FParam;
}

const TParamValue& TSrcToDest::ParamDate(const TField& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  const TDateTime date = DateOf(AField.AsDateTime());
  if (!date.IsZero()) FParam.SetValue(Variant(date));
  return FParam;
}

const TParamValue& TSrcToDest::ParamDateTime(const TField& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  const TDateTime value = AField.AsDateTime();
  if (!value.IsZero()) FParam.SetValue(Variant(value));
  return FParam;
}

const TParamValue& TSrcToDest::ParamBlob(const TField& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  switch (AField.DataType()) {
    case TFieldType::ftMemo:
    case TFieldType::ftFmtMemo: {
      // Memos are texts: they travel as text and the server fills the text blob.
      std::string& text = FParam.SetText();
      AField.GetAsString(text);
      if (IsBlank(text)) FParam.Clear();
      break;
    }
    case TFieldType::ftBlob: {
      std::string content = AField.BlobContent();
      if (!IsBlank(content)) FParam.SetValue(Variant(Bytes{std::move(content)}));
      break;
    }
    case TFieldType::ftGraphic: FParam.SetValue(Variant(Bytes{AField.BlobContent()})); break;
    default: break;
  }
  return FParam;
}

const TParamValue& TSrcToDest::AssignSrcToDest(const TField& AField, bool AStringUpper) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  try {
    switch (AField.DataType()) {
      case TFieldType::ftString:
        ParamString(AField);
        if (AStringUpper && !FParam.IsNull()) SetText(AnsiUpperCase(FParam.Value().AsString()));
        break;
      case TFieldType::ftSmallint:
      case TFieldType::ftInteger:
      case TFieldType::ftWord:
      case TFieldType::ftAutoInc: ParamInteger(AField); break;
      case TFieldType::ftBoolean: ParamBoolean(AField); break;
      case TFieldType::ftFloat:
      case TFieldType::ftBCD: ParamFloat(AField); break;
      case TFieldType::ftCurrency: ParamCurrency(AField); break;
      case TFieldType::ftDate: ParamDate(AField); break;
      case TFieldType::ftDateTime: ParamDateTime(AField); break;
      case TFieldType::ftBlob:
      case TFieldType::ftMemo:
      case TFieldType::ftGraphic:
      case TFieldType::ftFmtMemo: ParamBlob(AField); break;
      default: ParamClear();
    }
  } catch (const std::exception&) {
    SetErrMsg("Field: " + AField.FieldName() + " ne peut passer sa valeur", false);
  }
  return FParam;
}

// ------------------------------------------------------------ target-side columns

const TParamValue& TSrcToDest::ParamString(const Column& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  std::string text = AField.AsString();
  if (!IsBlank(text)) SetText(text);
  return FParam;
}

const TParamValue& TSrcToDest::ParamInteger(const Column& AField) {
  FParam.Clear();
  if (!AField.IsNull()) FParam.SetValue(Variant(AField.AsInteger()));
  return FParam;
}

const TParamValue& TSrcToDest::ParamBoolean(const Column& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  const std::string text = AField.AsString();
  return SetText(IsBlank(text) ? "N" : StandardBoolean(text));
}

const TParamValue& TSrcToDest::ParamFloat(const Column& AField) {
  FParam.Clear();
  if (!AField.IsNull()) FParam.SetValue(Variant(AField.AsFloat()));
  return FParam;
}

const TParamValue& TSrcToDest::ParamDateTime(const Column& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  const TDateTime value = AField.AsDateTime();
  if (!value.IsZero()) FParam.SetValue(Variant(value));
  return FParam;
}

const TParamValue& TSrcToDest::ParamBlob(const Column& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  if (AField.SQLSubtype() == 1) {
    const std::string text = AField.AsString();
    if (!IsBlank(text)) SetText(text);
  } else {
    FParam.SetValue(Variant(Bytes{AField.BlobContent()}));
  }
  return FParam;
}

const TParamValue& TSrcToDest::AssignSrcToDest(const Column& AField) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  try {
    switch (AField.SQLType()) {
      case SQL_VARYING:
      case SQL_TEXT: ParamString(AField); break;
      case SQL_DOUBLE:
      case SQL_FLOAT:
      case SQL_LONG: ParamFloat(AField); break;
      case SQL_SHORT: ParamInteger(AField); break;
      case SQL_INT64:
        // A scaled BIGINT (NUMERIC(15,2) and wider) keeps its decimals; a plain one
        // its full 64 bits.
        if (AField.Scale() < 0) {
          ParamFloat(AField);
        } else {
          ParamInteger(AField);
        }
        break;
      case SQL_TIMESTAMP:
      case SQL_TYPE_DATE: ParamDateTime(AField); break;
      case SQL_BLOB: ParamBlob(AField); break;
      case SQL_BOOLEAN:
      case kSqlBooleanInterbase: ParamBoolean(AField); break;
      default: ParamClear();
    }
  } catch (const std::exception&) {
    SetErrMsg("Field: " + AField.Name() + " ne peut passer sa valeur", false);
  }
  return FParam;
}

// ------------------------------------------------------------ variants with a default

const TParamValue& TSrcToDest::ParamUseDefault(const TDefault& ADefault) { return SetText(ADefault.Value); }

const TParamValue& TSrcToDest::ParamStringNotNull(const TField& AField, const TDefault& ADefault) {
  if (AField.IsNull()) return ParamUseDefault(ADefault);
  std::string& text = FParam.SetText();
  AField.GetAsString(text);
  if (IsBlank(text)) ParamUseDefault(ADefault);
  return FParam;
}

const TParamValue& TSrcToDest::ParamBooleanNotNull(const TField& AField, const TDefault& ADefault) {
  if (AField.IsNull()) return SetText(StandardBoolean(ADefault.Value));
  AField.GetAsString(scratch_);
  return SetText(StandardBoolean(IsBlank(scratch_) ? ADefault.Value : scratch_));
}

const TParamValue& TSrcToDest::ParamBlobNotNull(const TField& AField, const TDefault& ADefault) {
  if (AField.IsNull()) return ParamUseDefault(ADefault);
  if (AField.DataType() == TFieldType::ftMemo || AField.DataType() == TFieldType::ftFmtMemo) {
    AField.GetAsString(FParam.SetText());
  } else {
    FParam.SetValue(Variant(Bytes{AField.BlobContent()}));
  }
  return FParam;
}

const TParamValue& TSrcToDest::AssignSrcToDestNotNull(const TField* AField, const TDefault& ADefault) {
  if (!AField) {
    if (ADefault.Value.empty()) return ParamClear();
    return ParamUseDefault(ADefault);
  }
  switch (AField->DataType()) {
    case TFieldType::ftString: return ParamStringNotNull(*AField, ADefault);
    case TFieldType::ftBoolean: return ParamBooleanNotNull(*AField, ADefault);
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
    case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo: return ParamBlobNotNull(*AField, ADefault);
    default: return ParamUseDefault(ADefault);
  }
}

const TParamValue& TSrcToDest::AssignSrcToDestNotNull2(const Column& AField, const TDefault& ADefault) {
  if (AField.IsNull()) {
    if (ADefault.Value.empty()) return ParamClear();
    return ParamUseDefault(ADefault);
  }
  if (AField.SQLType() == SQL_VARYING || AField.SQLType() == SQL_TEXT) {
    const std::string text = AField.AsString();
    return SetText(IsBlank(text) ? ADefault.Value : text);
  }
  return ParamClear();
}

// ------------------------------------------------------------ special conversions

const TParamValue& TSrcToDest::AssignSrcToDestSpecial(TSpecialParam AType, const TField& AField, int AMaxLength,
                                                      int /*APos*/) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  return SpecialOfText(AType, AField.AsString(), AField.DataType() == TFieldType::ftString, AMaxLength);
}

const TParamValue& TSrcToDest::AssignSrcToDestSpecial(TSpecialParam AType, const Column& AField, int AMaxLength) {
  FParam.Clear();
  if (AField.IsNull()) return FParam;
  return SpecialOfText(AType, AField.AsString(), AField.SQLType() == SQL_VARYING || AField.SQLType() == SQL_TEXT,
                       AMaxLength);
}

const TParamValue& TSrcToDest::SpecialOfText(TSpecialParam AType, const std::string& s, bool isText, int AMaxLength) {
  const bool blank = IsBlank(s);
  switch (AType) {
    case TSpecialParam::spEncrypt:
      if (!isText) break;
      try {
        EncryptPassword(blank ? std::string() : s);
      } catch (const std::exception&) {
      }
      break;
    case TSpecialParam::spSubStrName: {
      if (blank) break;
      const size_t space = s.find(' ');
      SetText(space == std::string::npos ? s : s.substr(space));
      break;
    }
    case TSpecialParam::spSubStrLastName: {
      const size_t space = s.find(' ');
      SetText(space == std::string::npos ? std::string() : s.substr(0, space + 1));
      break;
    }
    case TSpecialParam::spMakeTelephone: {
      if (blank) break;
      std::string digits;
      for (const char c : s) {
        if (c >= '0' && c <= '9' && digits.size() < 11) digits.push_back(c);
      }
      if (digits.size() >= 7) SetText(digits);
      break;
    }
    case TSpecialParam::spMakeTypeFact: {
      if (blank) break;
      const std::string code = UpperCase(s);
      SetText(code == "C"   ? "CSST"
              : code == "O" ? "OHIP"
              : code == "P" ? "PRIVE"
              : code == "Q" ? "RAMQ"
              : code == "W" ? "WCB"
                            : "AUTRE");
      break;
    }
    case TSpecialParam::spMakePrescription:
      if (blank || Utf8Length(s) != 12) break;
      SetText(Utf8Left(s, 8) + "-" + s.substr(Utf8Left(s, 9).size()));
      break;
    case TSpecialParam::spMakeUtilisateur:
      if (blank) break;
      SetText(AnsiUpperCase(Trim(Utf8Left(s, 20))));
      break;
    case TSpecialParam::spMakeMaxLength:
      if (blank) break;
      SetText(Trim(Utf8Left(s, static_cast<size_t>(std::max(AMaxLength, 0)))));
      break;
    default: break;
  }
  return FParam;
}

const TParamValue& TSrcToDest::AssignSrcToDestSpecial(TSpecialParam AType, const TField& ADate, const TField& ATime) {
  FParam.Clear();
  if (ADate.IsNull()) return FParam;
  const bool has_time = !ATime.IsNull() && ATime.AsFloat() != 0.0 && !IsBlank(ATime.AsString());
  if (AType == TSpecialParam::spMakeVisiteDate) {
    const std::string compact = ADate.AsString();
    const std::string text = compact.substr(0, 4) + "-" + compact.substr(std::min<size_t>(4, compact.size()), 2) + "-" +
                             compact.substr(std::min<size_t>(6, compact.size()), 2);
    TDateTime date;
    if (!TryParseDateTime(text, date) || text.size() != 10) {
      // A bad date in one legacy record refuses that record (logged with its values)
      // instead of ending the whole table phase.
      throw EDatabaseError("'" + text + "' is not a valid date");
    }
    if (has_time) date = TDateTime(date.value + TimeOf(ATime.AsDateTime()).value);
    FParam.SetValue(Variant(date));
    return FParam;
  }
  if (ATime.IsNull() || AType != TSpecialParam::spMakeDateTime) return FParam;
  if (ADate.AsFloat() == 0.0 || IsBlank(ADate.AsString()) || ATime.AsFloat() == 0.0 || IsBlank(ATime.AsString())) {
    return FParam;
  }
  FParam.SetValue(Variant(TDateTime(DateOf(ADate.AsDateTime()).value + TimeOf(ATime.AsDateTime()).value)));
  return FParam;
}

}  // namespace korvel

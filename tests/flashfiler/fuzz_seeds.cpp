// Writes small tables with every field type, NULLs, BLOBs and indexes into the folder
// given as argument: seeds for the reader's fuzz target.
#include <string>

#include "source/flashfiler/ff2_writer.h"

int main(int argc, char** argv) {
  using namespace korvel;
  using ff2::Ff2Type;
  if (argc != 2) return 2;
  const std::string dir = argv[1];
  {
    ff2::Ff2Writer w(dir + "/every.FF2");
    const Ff2Type types[] = {
        Ff2Type::AutoInc,     Ff2Type::Boolean,   Ff2Type::Char,        Ff2Type::WideChar,   Ff2Type::Byte,
        Ff2Type::Word16,      Ff2Type::Word32,    Ff2Type::Int8,        Ff2Type::Int16,      Ff2Type::Int32,
        Ff2Type::Single,      Ff2Type::Double,    Ff2Type::Extended,    Ff2Type::Comp,       Ff2Type::Currency,
        Ff2Type::StDate,      Ff2Type::StTime,    Ff2Type::DateTime,    Ff2Type::Blob,       Ff2Type::BlobMemo,
        Ff2Type::BlobGraphic, Ff2Type::ByteArray, Ff2Type::ShortString, Ff2Type::NullString, Ff2Type::WideString};
    int n = 0;
    for (const Ff2Type type : types) w.AddField("F" + std::to_string(n++), type, 8);
    w.AddIndex("xText", {"F22", "F17"}, true);
    w.AddIndex("xNum", {"F9", "F11", "F14"}, false, true);
    w.AddIndex("xSmall", {"F1", "F4", "F5", "F7", "F8", "F15", "F16", "F23", "F24"});
    for (int i = 0; i < 30; ++i) {
      std::vector<Variant> v;
      if (i % 5 == 4) {
        v.resize(25);
      } else {
        v = {Variant(),
             Variant(i % 2 == 0),
             Variant("c"),
             Variant("w"),
             Variant(i),
             Variant(i * 7),
             Variant(i * 1000),
             Variant(-i),
             Variant(-i * 100),
             Variant(i * 31 % 17),
             Variant(i * 0.5),
             Variant(i / 3.0),
             Variant(1e10 / (i + 1)),
             Variant(int64_t{i} << 40),
             Variant(Currency{i * 12345}),
             Variant(EncodeDate(2000 + i, 1, 1)),
             Variant(EncodeTime(i % 24, 0, 0)),
             Variant(TDateTime(40000.25 + i)),
             Variant(Bytes{std::string(i * 300, 'b')}),
             Variant(std::string("memo\r\n") + std::to_string(i)),
             Variant(Bytes{std::string(i % 3 == 0 ? 5000 : 10, 'g')}),
             Variant(Bytes{"raw"}),
             Variant("Nom " + std::to_string(i % 7)),
             Variant(std::to_string(i)),
             Variant("wide")};
      }
      w.AppendRecord(v);
    }
    w.Finish();
  }
  {
    ff2::Ff2Writer w(dir + "/tiny.FF2");
    w.AddField("B", Ff2Type::Boolean);
    w.AddIndex("xB", {"B"}, false, true);
    for (int i = 0; i < 5; ++i) w.AppendRecord({i == 2 ? Variant() : Variant(i % 2 == 1)});
    w.Finish();
  }
  return 0;
}

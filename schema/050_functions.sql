/* SUBSTR(text, start, end): the legacy substring with a start and an END position,
   both 1-based and inclusive (not a length): SUBSTR('ABCDEFG', 2, 4) = 'BCD'.
   Firebird 3 has no such built-in, and the migration's statements cut user names,
   station names and visit numbers with it.
   A null argument gives NULL; a start below 1 counts from 1; an end past the text
   stops at its end; an end before the start gives the empty text.
   1000 characters: wide enough for every staged text it is given, narrow enough that
   GROUP BY on its result does not sort huge fixed-width keys. */
SET TERM ^ ;

CREATE FUNCTION SUBSTR (
  TEXTE VARCHAR(1000) CHARACTER SET ISO8859_1,
  DEBUT INTEGER,
  FIN   INTEGER)
RETURNS VARCHAR(1000) CHARACTER SET ISO8859_1
AS
BEGIN
  IF (TEXTE IS NULL OR DEBUT IS NULL OR FIN IS NULL) THEN RETURN NULL;
  IF (DEBUT < 1) THEN DEBUT = 1;
  IF (FIN < DEBUT) THEN RETURN '';
  RETURN SUBSTRING(TEXTE FROM DEBUT FOR FIN - DEBUT + 1);
END^

SET TERM ; ^

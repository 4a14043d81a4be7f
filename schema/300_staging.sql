/* Licence tables a separate tool fills before a run; the run only reads them. */
CREATE TABLE TMPMEDECINFF (
  LICENCE                    VARCHAR(10),
  NOUVELLE_LICENCE           VARCHAR(10),
  NOUVELLE_LICENCE_OK        CHAR(1) DEFAULT 'F',
  NOUVELLE_LICENCE_OPERATION VARCHAR(20),
  NOM                        VARCHAR(60)
);

CREATE TABLE TMPRADIOLFF (
  LICENCE                    VARCHAR(10),
  NOUVELLE_LICENCE           VARCHAR(10),
  NOUVELLE_LICENCE_OK        CHAR(1) DEFAULT 'F',
  NOUVELLE_LICENCE_OPERATION VARCHAR(20),
  NOM                        VARCHAR(60)
);

CREATE TABLE referantramq (
  LICENCE VARCHAR(10) NOT NULL PRIMARY KEY,
  NOM     VARCHAR(60),
  PRENOM  VARCHAR(60)
);

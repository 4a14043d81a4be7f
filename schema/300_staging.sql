/* Licence tables a separate tool fills before a run; the run only reads them. */
/* Legacy referring physicians with the outcome of their licence check; the address
   may exceed the 100 + 200 characters that the physician table keeps. */
CREATE TABLE TMPMEDECINFF (
  LICENCE                    VARCHAR(10),
  NOUVELLE_LICENCE           VARCHAR(10),
  NOUVELLE_LICENCE_OK        CHAR(1) DEFAULT 'F',
  NOUVELLE_LICENCE_OPERATION VARCHAR(20),
  NOM                        VARCHAR(60),
  PRENOM                     VARCHAR(60),
  ADRESSE                    VARCHAR(500),
  VILLE                      VARCHAR(60),
  PROVINCE                   VARCHAR(30),
  POSTAL                     VARCHAR(10),
  TELEPHONE                  VARCHAR(20),
  FAX                        VARCHAR(20),
  INTERNET                   VARCHAR(100),
  SPECIALITE                 VARCHAR(10),
  IDLOCAL                    VARCHAR(20),
  CONSIDERERFAXOK            CHAR(1),
  CLINIQUE                   VARCHAR(60),
  LANGUE                     VARCHAR(5),
  TELEXT                     VARCHAR(10),
  OMBRIX                     CHAR(1),
  NOUVEAU_MEDECINID          VARCHAR(20),
  DESACTIVE                  CHAR(1),
  TELECOPIETELVANO           CHAR(1),
  NBPRESCRIPTION             INTEGER
);
/* Each visit looks its physicians up by legacy licence. */
CREATE INDEX IX_TMPMEDECINFF_LICENCE ON TMPMEDECINFF (LICENCE);

/* Legacy radiologists with the outcome of their licence check; the columns are those
   of the radiologist table. */
CREATE TABLE TMPRADIOLFF (
  LICENCE                    VARCHAR(10),
  NOUVELLE_LICENCE           VARCHAR(10),
  NOUVELLE_LICENCE_OK        CHAR(1) DEFAULT 'F',
  NOUVELLE_LICENCE_OPERATION VARCHAR(20),
  NOM                        VARCHAR(60),
  GROUPE                     VARCHAR(20),
  PRENOM                     VARCHAR(60),
  ADRESSE                    VARCHAR(100),
  VILLE                      VARCHAR(60),
  POSTAL                     VARCHAR(10),
  TELEPHONE                  VARCHAR(20),
  SIGNATURE                  BLOB SUB_TYPE TEXT,
  SPECIALITE                 VARCHAR(10),
  REMUNERATION               VARCHAR(10),
  MAJORATION                 VARCHAR(10),
  REMUNERATIONMIXTE          VARCHAR(10),
  FACTURATIONROLE1           CHAR(1),
  FACTURATIONROLE7           CHAR(1),
  PLAGEHORAIRE               INTEGER,
  MAJORATION140              CHAR(1),
  FACTPARTERRITOIRE          CHAR(1),
  TERRITOIRE                 VARCHAR(10),
  TITRE                      VARCHAR(20),
  MIXTE36                    CHAR(1),
  PROVINCE                   VARCHAR(30)
);

CREATE TABLE referantramq (
  LICENCE VARCHAR(10) NOT NULL PRIMARY KEY,
  NOM     VARCHAR(60),
  PRENOM  VARCHAR(60)
);

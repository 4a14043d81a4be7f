/* Reference code tables and billing code tables. Flags are CHAR(1) 'O'/'N'. Codes
   that a legacy table may leave empty are UNIQUE (NULL allowed) rather than keys. */

CREATE TABLE Region (
  Region      VARCHAR(10) NOT NULL PRIMARY KEY,
  Description VARCHAR(100),
  Desactive   CHAR(1) DEFAULT 'N'
);

CREATE TABLE Modalite (
  Modalite    VARCHAR(10) UNIQUE,
  Description VARCHAR(100),
  Desactive   CHAR(1) DEFAULT 'N'
);

CREATE TABLE Dictionnaire (
  Mot         VARCHAR(60) UNIQUE,
  Description VARCHAR(255),
  Desactive   CHAR(1) DEFAULT 'N'
);

CREATE TABLE MotCor (
  Remplacer VARCHAR(60) NOT NULL PRIMARY KEY,
  Par       VARCHAR(255),
  desactive CHAR(1) DEFAULT 'N'
);

CREATE TABLE Diagnostique (
  Diagnos     VARCHAR(10) NOT NULL PRIMARY KEY,
  Description VARCHAR(255),
  Desactive   CHAR(1) DEFAULT 'N'
);

CREATE TABLE TypeFact (
  TypeFact  VARCHAR(40) UNIQUE,
  Desactive CHAR(1) DEFAULT 'N'
);

CREATE TABLE TextePreins (
  TextePreins           VARCHAR(20) NOT NULL PRIMARY KEY,
  Description           VARCHAR(100),
  Texte                 BLOB SUB_TYPE TEXT,
  langue                CHAR(2),
  Desactive             CHAR(1) DEFAULT 'N',
  Impression            CHAR(1),
  DESCRIPTIONSECONDAIRE VARCHAR(100),
  TexteSecondaire       BLOB SUB_TYPE TEXT
);

CREATE TABLE Export (
  ID_EXPORT  INTEGER NOT NULL PRIMARY KEY,
  DateHeure  TIMESTAMP,
  ExportType VARCHAR(20)
);
CREATE GENERATOR GEN_ID_EXPORT;

CREATE TABLE Modificateur (
  Code           VARCHAR(10) NOT NULL PRIMARY KEY,
  Omni           CHAR(1),
  Spec           VARCHAR(10),
  Description    VARCHAR(100),
  Explication    BLOB SUB_TYPE TEXT,
  Plafond        NUMERIC(15,2),
  PlafondAtteint CHAR(1),
  Csst           CHAR(1),
  bs             CHAR(1),
  UniteBase      NUMERIC(15,4),
  UniteAdd       NUMERIC(15,4),
  CodeA          VARCHAR(10),
  CodeB          VARCHAR(10),
  Garde          CHAR(1),
  CodeC          VARCHAR(10),
  ActeExclus     VARCHAR(255),
  Role7          CHAR(1),
  Desactive      CHAR(1) DEFAULT 'N'
);

CREATE TABLE ModSoft (
  Code           VARCHAR(10) NOT NULL PRIMARY KEY,
  Omni           CHAR(1),
  Spec           VARCHAR(10),
  Description    VARCHAR(100),
  Explication    BLOB SUB_TYPE TEXT,
  Plafond        NUMERIC(15,2),
  PlafondAtteint CHAR(1),
  Csst           CHAR(1),
  bs             CHAR(1),
  UniteBase      NUMERIC(15,4),
  UniteAdd       NUMERIC(15,4),
  CodeA          VARCHAR(10),
  CodeB          VARCHAR(10),
  Garde          CHAR(1),
  Desactive      CHAR(1) DEFAULT 'N'
);

CREATE TABLE ModCompl (
  Mod           VARCHAR(10),
  Code1         VARCHAR(10),
  Code2         VARCHAR(10),
  Cs            CHAR(1),
  Renseignement VARCHAR(255),
  ArretSurEcran CHAR(1),
  Desactive     CHAR(1) DEFAULT 'N',
  CONSTRAINT UQ_MODCOMPL UNIQUE (Mod, Code1, Code2)
);

CREATE TABLE RemMajoree (
  Territoire VARCHAR(10) NOT NULL PRIMARY KEY,
  T1A NUMERIC(15,4), T1B NUMERIC(15,4), T1C NUMERIC(15,4), T1D NUMERIC(15,4), T1E NUMERIC(15,4),
  T1F NUMERIC(15,4), T2A NUMERIC(15,4), T3A NUMERIC(15,4), T3B NUMERIC(15,4), T4A NUMERIC(15,4),
  T4B NUMERIC(15,4), T4C NUMERIC(15,4), T4D NUMERIC(15,4), T4E NUMERIC(15,4)
);
CREATE INDEX IX_REMMAJOREE_T1A ON RemMajoree (T1A);

CREATE TABLE CODETRANSAC (
  CODETRANSAC VARCHAR(10) NOT NULL PRIMARY KEY,
  Description VARCHAR(100),
  Desactive   CHAR(1) DEFAULT 'N'
);

CREATE TABLE Activite (
  id_activite   INTEGER NOT NULL PRIMARY KEY,
  Activite      VARCHAR(60),
  CompteGrLivre VARCHAR(20),
  Desactive     CHAR(1) DEFAULT 'N'
);
CREATE GENERATOR GEN_ID_Activite;

CREATE TABLE EtatType (
  TypeNo       INTEGER NOT NULL,
  Categorie    VARCHAR(20),
  Champ        VARCHAR(40) NOT NULL,
  Description  VARCHAR(100),
  PositionInfo INTEGER,
  Longueur     INTEGER,
  CONSTRAINT PK_ETATTYPE PRIMARY KEY (TypeNo, Champ)
);

CREATE TABLE EtatTypeTitre (
  TypeNo    INTEGER NOT NULL PRIMARY KEY,
  Categorie VARCHAR(20),
  Nom       VARCHAR(100)
);

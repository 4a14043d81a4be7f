/* Reference tables that the staged codes are completed into and resolved against:
   specialties, protocols, technologists, acts, private insurers, radiologists and
   referring physicians, and the clinic's agency.
   Keys follow the lookups: a code is found by itself, a radiologist by licence and
   group, a physician by licence and physician id, a technologist by name. A lookup
   that matched two rows would make a whole move fail, so those pairs are UNIQUE.
   Codes that rows are invented for arrive with only their code, so every other
   column may be NULL. */

CREATE TABLE SPECIALITE (
  SPECIALITE  VARCHAR(10) NOT NULL PRIMARY KEY,
  DESCRIPTION VARCHAR(100),
  DESACTIVE   CHAR(1) DEFAULT 'N'
);

CREATE TABLE PROTOCOLE (
  PROTOCOLE   VARCHAR(20) NOT NULL PRIMARY KEY,
  DESCRIPTION VARCHAR(100),
  DESACTIVE   CHAR(1) DEFAULT 'N'
);

/* Examinations name their technologist by family name, injections by family and
   given name. */
CREATE TABLE TECHNOLOGUE (
  ID_TECHNOLOGUE INTEGER NOT NULL PRIMARY KEY,
  NOM            VARCHAR(60),
  PRENOM         VARCHAR(60),
  DESACTIVE      CHAR(1) DEFAULT 'N',
  STAGIAIRETECH  CHAR(1) DEFAULT 'N',
  CONSTRAINT UQ_TECHNOLOGUE UNIQUE (NOM, PRENOM)
);
CREATE GENERATOR GEN_ID_TECHNOLOGUE;

/* Billable examination codes. The identifier comes first: the generator pass moves
   GEN_ID_ACTE past the highest value of the first column. EPURATION and CALCULNOMBRE
   take the legacy values whether they are flags or counts. */
CREATE TABLE ACTE (
  ID_ACTE       INTEGER NOT NULL PRIMARY KEY,
  ACTE          VARCHAR(10) NOT NULL UNIQUE,
  DESCRIPTION   VARCHAR(255),
  ABREGEE       VARCHAR(15),
  EPURATION     VARCHAR(10),
  CALCULNOMBRE  VARCHAR(10),
  PLAFONDROLE1  NUMERIC(18,4),
  PLAFONDROLE7  NUMERIC(18,4),
  MODIFICATEUR  VARCHAR(10),
  AGEMIN        INTEGER,
  AGEMAX        INTEGER,
  NBCHIFFRERAMQ INTEGER,
  UNITE         NUMERIC(15,4),
  ID_ACTIVITE   INTEGER,
  DESACTIVE     CHAR(1) DEFAULT 'N'
);
CREATE GENERATOR GEN_ID_ACTE;

/* Departments in which an act is performed. */
CREATE TABLE ACTE_DEPARTEMENT (
  ACTE    VARCHAR(10) NOT NULL REFERENCES ACTE (ACTE) ON UPDATE CASCADE ON DELETE CASCADE,
  CODEDEP VARCHAR(5) NOT NULL,
  CONSTRAINT PK_ACTE_DEPARTEMENT PRIMARY KEY (ACTE, CODEDEP)
);

/* Private insurance companies. The tax, supplier, payment, credit and contact-change
   columns are text: the legacy values pass whatever their legacy type. */
CREATE TABLE CIEPRIVEE (
  CIEPRIVEE           VARCHAR(10) NOT NULL PRIMARY KEY,
  CONTACT             VARCHAR(60),
  NOM                 VARCHAR(60),
  ADRESSE             VARCHAR(100),
  VILLE               VARCHAR(60),
  POSTAL              VARCHAR(10),
  TELEPHONE           VARCHAR(20),
  TELECOPIE           VARCHAR(20),
  TVQ                 VARCHAR(20),
  TPS                 VARCHAR(20),
  NOFOURNISSEUR       VARCHAR(20),
  PAIEMENT            VARCHAR(20),
  CREDIT              VARCHAR(20),
  CHANGECONTACT       VARCHAR(30),
  DESACTIVE           CHAR(1) DEFAULT 'N',
  AUTORISATIONREQUISE CHAR(1)
);

/* Radiologists, found by licence and billing group (a blank group is the empty text). */
CREATE TABLE RADIOLOGISTE (
  ID_RADIOLOGISTE   INTEGER NOT NULL PRIMARY KEY,
  LICENCE           VARCHAR(20),
  GROUPE            VARCHAR(20),
  NOM               VARCHAR(60),
  PRENOM            VARCHAR(60),
  ADRESSE           VARCHAR(100),
  VILLE             VARCHAR(60),
  POSTAL            VARCHAR(10),
  TELEPHONE         VARCHAR(20),
  SIGNATURE         BLOB SUB_TYPE TEXT,
  DESACTIVE         CHAR(1) DEFAULT 'N',
  SPECIALITE        VARCHAR(10),
  REMUNERATION      VARCHAR(10),
  MAJORATION        VARCHAR(10),
  REMUNERATIONMIXTE VARCHAR(10),
  FACTURATIONROLE1  CHAR(1),
  FACTURATIONROLE7  CHAR(1),
  PLAGEHORAIRE      INTEGER,
  MAJORATION140     CHAR(1),
  FACTPARTERRITOIRE CHAR(1),
  TERRITOIRE        VARCHAR(10),
  TITRE             VARCHAR(20),
  MIXTE36           CHAR(1),
  PROVINCE          VARCHAR(30),
  NOINTERNE         INTEGER,
  CONSTRAINT UQ_RADIOLOGISTE UNIQUE (LICENCE, GROUPE)
);
CREATE GENERATOR GEN_ID_RADIOLOGISTE;

/* Referring physicians, found by licence and physician id ('ND' when none). The
   address is split at 100 characters, the rest (up to 200) in ADRESSE2. */
CREATE TABLE MEDECIN (
  ID_MEDECIN          INTEGER NOT NULL PRIMARY KEY,
  LICENCE             VARCHAR(20),
  MEDECINID           VARCHAR(20),
  NOM                 VARCHAR(60),
  PRENOM              VARCHAR(60),
  ADRESSE1            VARCHAR(100),
  ADRESSE2            VARCHAR(200),
  VILLE               VARCHAR(60),
  POSTAL              VARCHAR(10),
  TELEPHONE           VARCHAR(20),
  DESACTIVE           CHAR(1) DEFAULT 'N',
  LANGUE              CHAR(2),
  COURRIEL            VARCHAR(100),
  TELECOPIEUR         VARCHAR(20),
  SPECIALITE          VARCHAR(10),
  TELVANO             CHAR(1),
  CONSIDERERFAXOK     CHAR(1),
  CLINIQUE            VARCHAR(60),
  NOINTERNE           INTEGER,
  POSTETEL1           VARCHAR(10),
  OMBRIX              CHAR(1),
  PROVINCE            VARCHAR(30),
  LOCALID             VARCHAR(20),
  TELECOPIEURLONGDIST CHAR(1),
  CONSTRAINT UQ_MEDECIN UNIQUE (LICENCE, MEDECINID)
);
CREATE GENERATOR GEN_ID_MEDECIN;

/* The clinic's agency with its insurer account, per establishment. */
CREATE TABLE ETABLISSEMENT_AGENCE (
  ETABLISSEMENT   VARCHAR(10) NOT NULL,
  NO_AGENCE       VARCHAR(10) NOT NULL,
  NOM             VARCHAR(60),
  ADRESSE         VARCHAR(100),
  VILLE           VARCHAR(60),
  POSTAL          VARCHAR(10),
  TELEPHONEAGENCE VARCHAR(20),
  SITEPRINCIPAL   CHAR(1),
  TELEPHONEREGIE  VARCHAR(20),
  REGIEMOTPASS    VARCHAR(20),
  REGIEUSAGER     VARCHAR(20),
  CONSTRAINT PK_ETABLISSEMENT_AGENCE PRIMARY KEY (ETABLISSEMENT, NO_AGENCE)
);

/* Number of the next fax file. */
CREATE GENERATOR GEN_ID_NOFICHIER_FAX;

SET TERM ^ ;

CREATE TRIGGER TRIG_BEFOREI_TECHNOLOGUE FOR TECHNOLOGUE ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_TECHNOLOGUE IS NULL) THEN NEW.ID_TECHNOLOGUE = GEN_ID(GEN_ID_TECHNOLOGUE, 1);
END^

CREATE TRIGGER TRIG_BEFOREI_ACTE FOR ACTE ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_ACTE IS NULL) THEN NEW.ID_ACTE = GEN_ID(GEN_ID_ACTE, 1);
END^

CREATE TRIGGER TRIG_BEFOREI_RADIOLOGISTE FOR RADIOLOGISTE ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_RADIOLOGISTE IS NULL) THEN NEW.ID_RADIOLOGISTE = GEN_ID(GEN_ID_RADIOLOGISTE, 1);
END^

/* A physician added without an internal number gets one from the same counter as the
   staged physicians, so the numbers never repeat. */
CREATE TRIGGER TRIG_BEFOREI_MEDECIN FOR MEDECIN ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_MEDECIN IS NULL) THEN NEW.ID_MEDECIN = GEN_ID(GEN_ID_MEDECIN, 1);
  IF (NEW.NOINTERNE IS NULL) THEN NEW.NOINTERNE = GEN_ID(GEN_NOINTERNE_MEDECIN, 1);
END^

/* An establishment that takes over the placeholder '99999' keeps the placeholder's
   contact rows under its own number. */
CREATE TRIGGER TRIG_AFTERU_ETABLISSEMENT FOR ETABLISSEMENT ACTIVE AFTER UPDATE POSITION 0 AS
BEGIN
  IF (NEW.ETABLISSEMENT <> OLD.ETABLISSEMENT) THEN
    UPDATE ETABLISSEMENT_INFO SET ETABLISSEMENT = NEW.ETABLISSEMENT WHERE ETABLISSEMENT = OLD.ETABLISSEMENT;
END^

SET TERM ; ^

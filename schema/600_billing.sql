/* Exchanges with the provincial insurer: transmission records, remittance lines,
   1606 forms and their lines, payments; external billing periods; the billing
   supplements of a visit. Migrated rows bring their legacy numbers as identifiers;
   GEN_ID_<table> numbers the rows the new system adds. Radiologists are resolved to
   identifiers by licence and group; one that matches none leaves a NULL, so there is
   no foreign key to them. */

/* Transmission records, one raw line each with its date and record type. The type is
   text: a plain copy must take a letter code as well as a number. Large: the plain
   indexes are switched off while they load. */
CREATE TABLE ETAT (
  ID_ETAT        INTEGER NOT NULL PRIMARY KEY,
  ECDATE         DATE,
  FTYPE          VARCHAR(10),
  ENREGISTREMENT VARCHAR(1000)
);
CREATE GENERATOR GEN_ID_ETAT;
CREATE INDEX IX_ETAT_ECDATE ON ETAT (ECDATE);
CREATE INDEX IX_ETAT_FTYPE ON ETAT (FTYPE);

/* Remittance lines: outcome of each transmitted claim line. CODE and ACTE both hold
   the act code. The sending, creation and transmission dates keep a time when the
   legacy value has one. */
CREATE TABLE RELEVE (
  ID_RELEVE    INTEGER NOT NULL PRIMARY KEY,
  DATERELEVE   DATE,
  ENVOIE       TIMESTAMP,
  CREATION     TIMESTAMP,
  TRANSMISSION TIMESTAMP,
  ATTESTATION  VARCHAR(20),
  CODE         VARCHAR(10),
  LICENCE      VARCHAR(20),
  NCE          VARCHAR(20),
  RANG         INTEGER,
  SEQUENCE     INTEGER,
  FTYPE        VARCHAR(10),
  CODEERREUR   VARCHAR(20),
  FACTION      VARCHAR(255),
  FMESSAGE     VARCHAR(255),
  ACTE         VARCHAR(10),
  LIGNE        INTEGER,
  NBERR        INTEGER,
  NBSOUM       INTEGER,
  NBVALIDE     INTEGER,
  NBREFUS      INTEGER,
  NBANNUL      INTEGER,
  MONTANT      NUMERIC(18,4),
  DESACTIVE    CHAR(1) DEFAULT 'N'
);
CREATE GENERATOR GEN_ID_RELEVE;
/* Lines are purged by statement date and matched to examinations by lot and claim. */
CREATE INDEX IX_RELEVE_DATERELEVE ON RELEVE (DATERELEVE);
CREATE INDEX IX_RELEVE_ATTESTATION ON RELEVE (ATTESTATION, NCE);

/* RAMQ form 1606, per period, establishment and radiologist. No foreign key to the
   establishment: a form may name one the completion has not added. */
CREATE TABLE R1606 (
  ID_R1606        INTEGER NOT NULL PRIMARY KEY,
  DATEDEBUT       DATE,
  DATEFIN         DATE,
  NBRTOTAL        INTEGER,
  GRANDTOTAL      NUMERIC(18,4),
  NODEMANDE       VARCHAR(20),
  ETABLISSEMENT   VARCHAR(10),
  CS              CHAR(1),
  DATEETATCOMPTE  DATE,
  ID_RADIOLOGISTE INTEGER
);
CREATE GENERATOR GEN_ID_R1606;
CREATE INDEX IX_R1606_RADIOLOGISTE ON R1606 (ID_RADIOLOGISTE);

/* Lines of a form; they go with it. The form may be NULL: one line without form must
   not make the whole move of the lines fail. */
CREATE TABLE R1606B (
  ID_R1606B INTEGER NOT NULL PRIMARY KEY,
  ID_R1606  INTEGER REFERENCES R1606 (ID_R1606) ON DELETE CASCADE,
  ACTE      VARCHAR(10),
  MOD       VARCHAR(10),
  NOMBRE    INTEGER,
  TARIF     NUMERIC(18,4),
  TOTAL     NUMERIC(18,4)
);
CREATE GENERATOR GEN_ID_R1606B;

/* External billing periods. RADIOLOGISTE is the legacy value as text, not an
   identifier. The same period, radiologist and establishment once, so that copying
   the table again refuses each period instead of doubling its amount. */
CREATE TABLE FACTURATIONEXT (
  ID_FACTURATIONEXT INTEGER NOT NULL PRIMARY KEY,
  DATEDEBUT         DATE,
  DATEFIN           DATE,
  RADIOLOGISTE      VARCHAR(60),
  ETABLISSEMENT     VARCHAR(10),
  PLAFONNEMENT      CHAR(1),
  NBEXAMEN          INTEGER,
  MONTANT           NUMERIC(18,4),
  DESACTIVE         CHAR(1) DEFAULT 'N',
  CONSTRAINT UQ_FACTURATIONEXT UNIQUE (DATEDEBUT, DATEFIN, RADIOLOGISTE, ETABLISSEMENT)
);
CREATE GENERATOR GEN_ID_FACTURATIONEXT;

/* Payments from the provincial insurer. ATTESTATION and NCE are the lot and claim the
   payment settles. Numerous: the plain indexes are switched off while they move. */
CREATE TABLE PAIEMENT (
  ID_PAIEMENT     INTEGER NOT NULL PRIMARY KEY,
  ECDATE          DATE,
  ATTESTATION     VARCHAR(20),
  NCE             VARCHAR(20),
  PAYE            NUMERIC(18,4),
  TRANSAC         VARCHAR(10),
  MSG             VARCHAR(255),
  RECDATE         DATE,
  CHEQUE          VARCHAR(20),
  ID_RADIOLOGISTE INTEGER
);
CREATE GENERATOR GEN_ID_PAIEMENT;
CREATE INDEX IX_PAIEMENT_ECDATE ON PAIEMENT (ECDATE);
CREATE INDEX IX_PAIEMENT_ATTESTATION ON PAIEMENT (ATTESTATION, NCE);
CREATE INDEX IX_PAIEMENT_RADIOLOGISTE ON PAIEMENT (ID_RADIOLOGISTE);

/* Billing supplements, one of each kind per visit: the patient's identity as written
   on a billing form, and an address with the social insurance number. They go with
   their visit. */
CREATE TABLE FACCSC (
  ID_VISITE  INTEGER NOT NULL PRIMARY KEY REFERENCES VISITE (ID_VISITE) ON DELETE CASCADE,
  NOM        VARCHAR(100),
  PRENOM     VARCHAR(100),
  ADRESSE    VARCHAR(255),
  VILLE      VARCHAR(255),
  CODEPOSTAL VARCHAR(20),
  NAISSANCE  DATE,
  NAM        VARCHAR(20)
);

CREATE TABLE FACCSD (
  ID_VISITE  INTEGER NOT NULL PRIMARY KEY REFERENCES VISITE (ID_VISITE) ON DELETE CASCADE,
  ADRESSE    VARCHAR(255),
  VILLE      VARCHAR(255),
  CODEPOSTAL VARCHAR(20),
  NAS        VARCHAR(20)
);

SET TERM ^ ;

CREATE TRIGGER TRIG_BEFOREI_ETAT FOR ETAT ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_ETAT IS NULL) THEN NEW.ID_ETAT = GEN_ID(GEN_ID_ETAT, 1);
END^

CREATE TRIGGER TRIG_BEFOREI_RELEVE FOR RELEVE ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_RELEVE IS NULL) THEN NEW.ID_RELEVE = GEN_ID(GEN_ID_RELEVE, 1);
END^

CREATE TRIGGER TRIG_BEFOREI_R1606 FOR R1606 ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_R1606 IS NULL) THEN NEW.ID_R1606 = GEN_ID(GEN_ID_R1606, 1);
END^

CREATE TRIGGER TRIG_BEFOREI_R1606B FOR R1606B ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_R1606B IS NULL) THEN NEW.ID_R1606B = GEN_ID(GEN_ID_R1606B, 1);
END^

CREATE TRIGGER TRIG_BEFOREI_FACTURATIONEXT FOR FACTURATIONEXT ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_FACTURATIONEXT IS NULL) THEN NEW.ID_FACTURATIONEXT = GEN_ID(GEN_ID_FACTURATIONEXT, 1);
END^

CREATE TRIGGER TRIG_BEFOREI_PAIEMENT FOR PAIEMENT ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_PAIEMENT IS NULL) THEN NEW.ID_PAIEMENT = GEN_ID(GEN_ID_PAIEMENT, 1);
END^

SET TERM ; ^

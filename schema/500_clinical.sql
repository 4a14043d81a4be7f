/* Patients and what hangs on them and on their visits: the free fields and province of
   a patient, the referring physicians of a visit, the register of used visit numbers,
   the report statuses. Patients bring their legacy number as identifier. Free texts
   whose legacy width is not fixed take any legacy short string (255), so that no
   patient is refused for a long address or occupation. */

/* The plain indexes are switched off while patients load and rebuilt once after.
   Film loans find their patient by file number (DOSSIERPRINCIPAL). */
CREATE TABLE PATIENT (
  ID_PATIENT        INTEGER NOT NULL PRIMARY KEY,
  DOSSIERPRINCIPAL  VARCHAR(20),
  DOSSIERSECONDAIRE VARCHAR(20),
  NAM               VARCHAR(20),
  EXPIRATION        DATE,
  SEXE              CHAR(1),
  NAISSANCE         DATE,
  NOM               VARCHAR(100),
  PRENOM            VARCHAR(100),
  MARITALNOM        VARCHAR(100),
  ADRESSE           VARCHAR(255),
  VILLE             VARCHAR(255),
  POSTAL            VARCHAR(20),
  TELRES            VARCHAR(20),
  TELBUR            VARCHAR(20),
  TELBURPOSTE       VARCHAR(20),
  OCCUPATION        VARCHAR(255),
  CONJOINTNOM       VARCHAR(255),
  CONJOINTPRENOM    VARCHAR(255),
  PERENOM           VARCHAR(255),
  PEREPRENOM        VARCHAR(255),
  NAS               VARCHAR(20),
  LANGUE            CHAR(2),
  ALLERGIE1         VARCHAR(255),
  TEXTE             BLOB SUB_TYPE TEXT,
  ETABLISSEMENT     VARCHAR(10),
  DESACTIVE         CHAR(1) DEFAULT 'N'
);
CREATE GENERATOR GEN_ID_PATIENT;
CREATE INDEX IX_PATIENT_DOSSIERPRINCIPAL ON PATIENT (DOSSIERPRINCIPAL);
CREATE INDEX IX_PATIENT_NAM ON PATIENT (NAM);
CREATE INDEX IX_PATIENT_NOM ON PATIENT (NOM, PRENOM);

/* The four free fields of a patient, one row when any is filled. */
CREATE TABLE PATIENT_VAR (
  ID_PATIENT INTEGER NOT NULL PRIMARY KEY REFERENCES PATIENT (ID_PATIENT) ON DELETE CASCADE,
  CHARVAR1   VARCHAR(255),
  CHARVAR2   VARCHAR(255),
  CHARVAR3   VARCHAR(255),
  CHARVAR4   VARCHAR(255)
);

/* The province taken out of the patient's city text. */
CREATE TABLE PATIENTSUPPLEMENT (
  ID_PATIENT INTEGER NOT NULL PRIMARY KEY REFERENCES PATIENT (ID_PATIENT) ON DELETE CASCADE,
  PROVINCE   VARCHAR(30)
);

/* Referring physicians of a visit, by new licence and physician id; REFERANT 'O' for
   the main one. A physician is linked to a visit once, so copying the staged links
   again refuses each one instead of doubling it. */
CREATE TABLE VISITE_MED (
  ID_VISITE INTEGER NOT NULL,
  MEDECIN   VARCHAR(20) NOT NULL,
  MEDECINID VARCHAR(20) NOT NULL,
  REFERANT  CHAR(1),
  CONSTRAINT PK_VISITE_MED PRIMARY KEY (ID_VISITE, MEDECIN, MEDECINID)
);
CREATE INDEX IX_VISITE_MED_MEDECIN ON VISITE_MED (MEDECIN, MEDECINID);

/* Visit numbers already used, per establishment and department, so that the new
   system never hands one out again. Each once. Nothing is NOT NULL: the register is
   filled by one statement over every visit, and a single visit without number must
   not keep all the others out. */
CREATE TABLE NOPRESCRIPTION (
  ETABLISSEMENT VARCHAR(10),
  PRESCRIPTION  VARCHAR(20),
  CODEDEP       VARCHAR(5),
  CONSTRAINT UQ_NOPRESCRIPTION UNIQUE (ETABLISSEMENT, PRESCRIPTION, CODEDEP)
);

/* Report statuses of a visit. 494: the report is dictated, transcribed, confirmed and
   printed; the examination move gives it to the visits it reports. */
CREATE TABLE STATUTRAPPORT (
  ID_STATUTRAPPORT INTEGER NOT NULL PRIMARY KEY,
  DESCRIPTION      VARCHAR(100),
  DESACTIVE        CHAR(1) DEFAULT 'N'
);

SET TERM ^ ;

CREATE TRIGGER TRIG_BEFOREI_PATIENT FOR PATIENT ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_PATIENT IS NULL) THEN NEW.ID_PATIENT = GEN_ID(GEN_ID_PATIENT, 1);
END^

SET TERM ; ^

INSERT INTO STATUTRAPPORT (ID_STATUTRAPPORT, DESCRIPTION) VALUES (494, 'Rapport confirmé');

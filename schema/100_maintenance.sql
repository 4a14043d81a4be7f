/* Establishments, users and their links, settings, stations, and the visit,
   examination and journal tables whose triggers bulk loading switches off.
   Identifiers come from GEN_ID_<table> when a row arrives without one; migrated rows
   bring their own and the generators are moved past them afterwards. */

CREATE TABLE ETABLISSEMENT (
  ETABLISSEMENT                VARCHAR(10) NOT NULL PRIMARY KEY,
  NOM                          VARCHAR(60),
  INDICEOMNI                   VARCHAR(10),
  INDICESPEC                   VARCHAR(10),
  SERIE                        VARCHAR(10),
  TERRITOIRE                   VARCHAR(10),
  TYPEFACT                     VARCHAR(40),
  DESACTIVE                    CHAR(1) DEFAULT 'N',
  DICTEESECURISE               CHAR(1),
  PATHDICTEE                   VARCHAR(255),
  PATHDICTEESECURISE           VARCHAR(255),
  SERVEURDICTEESECURISE        VARCHAR(255),
  DICTEEIMPORTATIONAUTO        CHAR(1),
  PATHDICTEEIMPORTATIONAUTO    VARCHAR(255),
  PATHDICTEEIMPORTATIONTRANSIT VARCHAR(255),
  DICTEESTATIONCOPIE           INTEGER,
  LOGO                         BLOB SUB_TYPE BINARY,
  FACTURATIONREGIE             CHAR(1),
  FACTCALCULROLE1              CHAR(1),
  MAJORATION140                CHAR(1),
  FACTCALCULROLE7              CHAR(1),
  MIXTE36                      CHAR(1),
  DEMANDEREQUETERV             CHAR(1),
  /* Security policy of the new system: days, days, attempts, minutes. */
  SECURITEDELAIMAJMOTDEPASSE   INTEGER,
  SECURITEINACTIVITENBJOURS    INTEGER,
  SECURITENBTENTATIVESACCES    INTEGER,
  INTERVALFERMETURE            INTEGER,
  /* Numbering counters and the mammography interface (Sorvane) of the clinic. */
  DOSSIER                      INTEGER,
  SORVANE_PROCHAINFICHIER      INTEGER,
  SORVANE_TYPEDOSSIER          CHAR(1),
  SORVANE_REPERTOIRE           VARCHAR(100),
  SORVANE_ACTIF                CHAR(1),
  NUMERISATIONPACS             DATE,
  /* Purge settings: per kind of record, a purge flag and its interval in days. */
  ALARME                       CHAR(1),
  EPUREPRESCRIP                CHAR(1),
  EPUREPRESCRIPINT             INTEGER,
  EPUREHISTOLOT                CHAR(1),
  EPUREHISTOLOTINT             INTEGER,
  EPUREPAIEMENT                CHAR(1),
  EPUREPAIEMENTINT             INTEGER,
  EPUREETAT                    CHAR(1),
  EPUREETATINT                 INTEGER,
  EPURERELEVE                  CHAR(1),
  EPURERELEVEINT               INTEGER,
  EPUREHISTOLOG                CHAR(1),
  EPUREHISTOLOGINT             INTEGER,
  EPURER1606                   CHAR(1),
  EPURER1606INT                INTEGER,
  EPUREMAMOGRAPHIE             CHAR(1),
  EPUREMAMOGRAPHIEINT          INTEGER
);

/* Per establishment and department: contact details and the report models. */
CREATE TABLE ETABLISSEMENT_INFO (
  ETABLISSEMENT    VARCHAR(10) NOT NULL,
  DEPARTEMENT      VARCHAR(5) NOT NULL,
  VILLE            VARCHAR(60),
  COURRIEL         VARCHAR(100),
  ADRESSE          VARCHAR(100),
  POSTAL           VARCHAR(10),
  TELEPHONE        VARCHAR(20),
  TELECOPIEUR      VARCHAR(20),
  MODELERAPPORT    BLOB SUB_TYPE TEXT,
  MODELERAPPORTSEC BLOB SUB_TYPE TEXT,
  CONSTRAINT PK_ETABLISSEMENT_INFO PRIMARY KEY (ETABLISSEMENT, DEPARTEMENT)
);

/* Workstations are found by name (journal entries, the dictation copy station), so a
   name is unique. */
CREATE TABLE STATION (
  ID_STATION        INTEGER NOT NULL PRIMARY KEY,
  NOMSTATION        VARCHAR(50) UNIQUE,
  DICTIOPATH        VARCHAR(255),
  ACTIVATIONHOPITAL CHAR(1),
  TRANSCRIPTIONNUM  CHAR(1),
  DESACTIVE         CHAR(1) DEFAULT 'N'
);
CREATE GENERATOR GEN_ID_STATION;

/* Application users. Their identifiers are the user routine's business, not the
   generator pass's. */
CREATE TABLE SECURITE (
  ID_SECURITE        INTEGER NOT NULL PRIMARY KEY,
  UTILISATEUR        VARCHAR(20) NOT NULL UNIQUE,
  MOTDEPASSE         VARCHAR(32),
  NOM                VARCHAR(60),
  CREERVISITE        CHAR(1),
  DETRUIREVISITE     CHAR(1),
  TABLEACTE          CHAR(1),
  TABLECIEPRIVEE     CHAR(1),
  TABLEDIAGNOSTIQUE  CHAR(1),
  TABLEETABLISSEMENT CHAR(1),
  TABLEMEDECIN       CHAR(1),
  TABLEMODIFICATEUR  CHAR(1),
  TABLERADIOLOGISTE  CHAR(1),
  TABLETEXTEPREINS   CHAR(1),
  TABLEPROTOCOLE     CHAR(1),
  TABLEREGION        CHAR(1),
  TABLESPECIALITE    CHAR(1),
  TABLETYPEVISITE    CHAR(1),
  TABLEPARAMETRES    CHAR(1),
  LANGUE             CHAR(2),
  OPTCORRORTHO       CHAR(1),
  ETABLISSEMENT      VARCHAR(10),
  DEPARTEMENT        VARCHAR(5),
  DESACTIVE          CHAR(1) DEFAULT 'N',
  DERNIERACCES       TIMESTAMP
);
CREATE GENERATOR GEN_ID_SECURITE;

/* Which establishment and department each user works in. */
CREATE TABLE SECURITE_ETAB_DEP (
  ID_SECURITE_ETAB_DEP INTEGER NOT NULL PRIMARY KEY,
  ID_SECURITE          INTEGER NOT NULL REFERENCES SECURITE (ID_SECURITE) ON DELETE CASCADE,
  ETABLISSEMENT        VARCHAR(10) NOT NULL,
  CODEDEP              VARCHAR(5) NOT NULL,
  CONSTRAINT UQ_SECURITE_ETAB_DEP UNIQUE (ID_SECURITE, ETABLISSEMENT, CODEDEP)
);
CREATE GENERATOR GEN_ID_SECURITE_ETAB_DEP;

/* Dictation types allowed for each user link. */
CREATE TABLE SECURITE_ETAB_DEP_DICTYPE (
  ID_SECURITE_ETAB_DEP INTEGER NOT NULL REFERENCES SECURITE_ETAB_DEP (ID_SECURITE_ETAB_DEP) ON DELETE CASCADE,
  ID_DICTEETYPE        INTEGER NOT NULL,
  CONSTRAINT PK_SECURITE_ETAB_DEP_DICTYPE PRIMARY KEY (ID_SECURITE_ETAB_DEP, ID_DICTEETYPE)
);

/* Dictation type of each user. */
CREATE TABLE SECURITE_DICTEE (
  ID_SECURITE INTEGER NOT NULL PRIMARY KEY REFERENCES SECURITE (ID_SECURITE) ON DELETE CASCADE,
  DICTEETYPE  INTEGER
);

/* Clinic-wide settings, one row per name; the program only updates existing rows. */
CREATE TABLE PARAM (
  ID_PARAM VARCHAR(40) NOT NULL PRIMARY KEY,
  VALEUR   VARCHAR(255)
);

/* Visits. DATEEXAMEN and ARRIVE carry the registration time with the date; TELECOM
   and TELECOPIE are the dates a result was sent, none for migrated visits. The report
   columns (dictation to confirmation, status, interrupted report, cancelled request)
   are derived from the examinations once those are moved. */
CREATE TABLE VISITE (
  ID_VISITE                 INTEGER NOT NULL PRIMARY KEY,
  ID_PATIENT                INTEGER,
  PRESCRIPTION              VARCHAR(20),
  ID_RADIOLOGISTE           INTEGER,
  RENSCLINIQUE              BLOB SUB_TYPE TEXT,
  TYPEFACT                  VARCHAR(40),
  CIEPRIVEE                 VARCHAR(10),
  ETABLISSEMENT             VARCHAR(10),
  DATEACCIDENT              DATE,
  DIAGNOSTIQUE              VARCHAR(10),
  CS                        CHAR(1),
  RENSCOMPL1                VARCHAR(255),
  RENSCOMPL2                VARCHAR(255),
  TELECOM                   TIMESTAMP,
  DATEADMISSION             DATE,
  EPURATION                 CHAR(1),
  DESACTIVE                 CHAR(1) DEFAULT 'N',
  CREATIONID                INTEGER,
  TRANSCRIPTEUR             INTEGER,
  TELECOPIE                 TIMESTAMP,
  DATEEXAMEN                TIMESTAMP,
  ARRIVE                    TIMESTAMP,
  CODEDEP                   VARCHAR(5),
  PRIORITE                  VARCHAR(20),
  DATEDICTEE                TIMESTAMP,
  DATETRANSCRIPTION         TIMESTAMP,
  DATEIMPRESSION            TIMESTAMP,
  DATECONFIRMATION          TIMESTAMP,
  ID_STATUTRAPPORT          INTEGER,
  RAPPORTINCOMPLET          CHAR(1) DEFAULT 'N',
  RAPPORTINTERROMPU         CHAR(1) DEFAULT 'N',
  RAPPORTINTERROMPUREMARQUE VARCHAR(255),
  REQUETEANNULEE            TIMESTAMP,
  CREATIONDH                TIMESTAMP,
  MODIFDH                   TIMESTAMP,
  NOAUTORISATION            VARCHAR(20)
);
CREATE GENERATOR GEN_ID_VISITE;
/* Plain indexes: the visit move switches them off and rebuilds them once. */
CREATE INDEX IX_VISITE_PATIENT ON VISITE (ID_PATIENT);
CREATE INDEX IX_VISITE_PRESCRIPTION ON VISITE (PRESCRIPTION);
CREATE INDEX IX_VISITE_DATEEXAMEN ON VISITE (DATEEXAMEN);

/* ATTESTATION is the billing lot (attestation) number: lots and private reports are
   matched to their examinations on it. PLAGEHORAIRE is the time slot of the visit,
   kept on every examination. The ID_SECURITE* columns and TECHNOLOGUE1 are user and
   technologist identifiers. ID_PRETFILM is the open film loan the examination belongs
   to, TECHNOLOGUEREMARQUE the technologist's note of its injection. */
CREATE TABLE EXAMEN (
  ID_EXAMEN         INTEGER NOT NULL PRIMARY KEY,
  ID_VISITE         INTEGER,
  ACTE              VARCHAR(10),
  PROTOCOLE         VARCHAR(20),
  FILMS             INTEGER,
  TEXTEPREINS       VARCHAR(20),
  ANNULDATE         DATE,
  DESACTIVE         CHAR(1) DEFAULT 'N',
  STATUT            INTEGER,
  MNTPRIVE          NUMERIC(18,4),
  MODIFICATEUR      VARCHAR(10),
  MOD1              VARCHAR(10),
  MOD2              VARCHAR(10),
  MOD3              VARCHAR(10),
  MOD4              VARCHAR(10),
  ATTESTATION       VARCHAR(20),
  NCE               VARCHAR(20),
  ROLE1             NUMERIC(18,4),
  ROLE7             NUMERIC(18,4),
  TOTAL             NUMERIC(18,4),
  FACROLE1          CHAR(1),
  FACROLE7          CHAR(1),
  PLAGEHORAIRE      INTEGER,
  ID_SECURITEREFAC  INTEGER,
  ID_SECURITEANNUL  INTEGER,
  ID_SECURITECONCIL INTEGER,
  TECHNOLOGUE1      INTEGER,
  REFACLOT          VARCHAR(20),
  REFACNCE          VARCHAR(20),
  DATECONCIL        DATE,
  UNITE             NUMERIC(15,4),
  ID_PRETFILM       INTEGER,
  TECHNOLOGUEREMARQUE VARCHAR(255)
);
CREATE GENERATOR GEN_ID_EXAMEN;
CREATE INDEX IX_EXAMEN_VISITE ON EXAMEN (ID_VISITE);
CREATE INDEX IX_EXAMEN_ATTESTATION ON EXAMEN (ATTESTATION);

/* Staged examinations: the trigger fills the identifier prefix of the new system.
   Codes copied into reference tables uncut (act, modifiers, pre-registration text,
   protocol, technologist) are no wider than the columns that receive them; user names
   take any legacy text, the completion cuts them to 20. DICTEE too: an examination is
   dictated when it is not empty. The *OPR identifiers and TECHNOLOGUE1 are resolved
   from the names after the completion, before the move. */
CREATE TABLE TMPEXAMEN (
  ID_EXAMEN       INTEGER,
  ID_VISITE       INTEGER,
  PRESCRIPTION    VARCHAR(20),
  ACTE            VARCHAR(10),
  DESACTIVE       CHAR(1),
  PREFIXE         VARCHAR(20),
  PROTOCOLE       VARCHAR(20),
  FILMS           INTEGER,
  TEXTEPREINS     VARCHAR(20),
  ANNULDATE       DATE,
  MNTPRIVE        NUMERIC(18,4),
  MODIFICATEUR    VARCHAR(10),
  MOD1            VARCHAR(10),
  MOD2            VARCHAR(10),
  MOD3            VARCHAR(10),
  MOD4            VARCHAR(10),
  LOT             VARCHAR(20),
  NCE             VARCHAR(20),
  ROLE1           NUMERIC(18,4),
  ROLE7           NUMERIC(18,4),
  TOTAL           NUMERIC(18,4),
  PLAGEHORAIRE    INTEGER,
  ROPR            VARCHAR(255),
  AOPR            VARCHAR(255),
  COPR            VARCHAR(255),
  TECH            VARCHAR(60),
  REFACLOT        VARCHAR(20),
  REFACNCE        VARCHAR(20),
  CONCILDATE      DATE,
  DICTEE          VARCHAR(255),
  TITRE           VARCHAR(255),
  FACROLE1        CHAR(1),
  FACROLE7        CHAR(1),
  NEWPRESCRIPTION VARCHAR(20),
  TITRE_EXAM      VARCHAR(255),
  UNITE           NUMERIC(15,4),
  REFACOPR        INTEGER,
  ANNULOPR        INTEGER,
  CONCILOPR       INTEGER,
  TECHNOLOGUE1    INTEGER,
  NO_LIGNE        INTEGER
);
/* Never emptied: the move walks ID_EXAMEN, the visit statuses join on ID_VISITE. */
CREATE INDEX IX_TMPEXAMEN_ID_EXAMEN ON TMPEXAMEN (ID_EXAMEN);
CREATE INDEX IX_TMPEXAMEN_ID_VISITE ON TMPEXAMEN (ID_VISITE);

/* Examinations whose staging the server refused. A code too long for the staging
   table is a reason for the refusal, so these columns take any legacy text. */
CREATE TABLE TMPDELEXAMEN (
  ID_EXAMEN    INTEGER,
  ID_VISITE    INTEGER,
  ACTE         VARCHAR(255),
  PRESCRIPTION VARCHAR(255)
);

/* Access journal and audit trail of the new system, each stamped by its trigger.
   Migrated entries keep their legacy entry number as identifier. */
CREATE TABLE LOG (
  ID_LOG       INTEGER NOT NULL PRIMARY KEY,
  ACCES        TIMESTAMP,
  REMARQUE     VARCHAR(255),
  ID_STATION   INTEGER,
  ID_SECURITE  INTEGER
);
CREATE GENERATOR GEN_ID_LOG;

CREATE TABLE TRACELOG (
  ID_TRACELOG INTEGER NOT NULL PRIMARY KEY,
  DATEHEURE   TIMESTAMP,
  ID_SECURITE INTEGER,
  NOMTABLE    VARCHAR(40),
  OPERATION   VARCHAR(40),
  REMARQUE    VARCHAR(255)
);
CREATE GENERATOR GEN_ID_TRACELOG;

SET TERM ^ ;

CREATE TRIGGER TRIG_BEFOREI_SECURITE FOR SECURITE ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_SECURITE IS NULL) THEN NEW.ID_SECURITE = GEN_ID(GEN_ID_SECURITE, 1);
END^

CREATE TRIGGER TRIG_BEFOREI_SECURITE_ETAB_DEP FOR SECURITE_ETAB_DEP ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_SECURITE_ETAB_DEP IS NULL) THEN NEW.ID_SECURITE_ETAB_DEP = GEN_ID(GEN_ID_SECURITE_ETAB_DEP, 1);
END^

CREATE TRIGGER TRIG_BEFOREI_STATION FOR STATION ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_STATION IS NULL) THEN NEW.ID_STATION = GEN_ID(GEN_ID_STATION, 1);
END^

/* The identifier apart from the stamp below: it must still work while the stamp is
   switched off. */
CREATE TRIGGER TRIG_BEFOREI_VISITE FOR VISITE ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_VISITE IS NULL) THEN NEW.ID_VISITE = GEN_ID(GEN_ID_VISITE, 1);
END^

/* Stamps a new visit with its creation time; migrated visits keep theirs, so it is off
   while they load. */
CREATE TRIGGER TRIG_BEFOREI_VISITE_CREATIONDH FOR VISITE ACTIVE BEFORE INSERT POSITION 1 AS
BEGIN
  NEW.CREATIONDH = CURRENT_TIMESTAMP;
END^

CREATE TRIGGER TRIG_BEFOREU_VISITE_MODIFDH FOR VISITE ACTIVE BEFORE UPDATE POSITION 0 AS
BEGIN
  NEW.MODIFDH = CURRENT_TIMESTAMP;
END^

CREATE TRIGGER TRIG_BEFOREI_EXAMEN FOR EXAMEN ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_EXAMEN IS NULL) THEN NEW.ID_EXAMEN = GEN_ID(GEN_ID_EXAMEN, 1);
END^

/* Every new or changed examination leaves a line in the audit trail. */
CREATE TRIGGER TRIG_AFTERI_EXAMEN_LOG FOR EXAMEN ACTIVE AFTER INSERT POSITION 0 AS
BEGIN
  INSERT INTO TRACELOG (NOMTABLE, OPERATION, REMARQUE)
    VALUES ('EXAMEN', 'CREATION', 'Examen ' || NEW.ID_EXAMEN);
END^

CREATE TRIGGER TRIG_AFTERU_EXAMEN FOR EXAMEN ACTIVE AFTER UPDATE POSITION 0 AS
BEGIN
  INSERT INTO TRACELOG (NOMTABLE, OPERATION, REMARQUE)
    VALUES ('EXAMEN', 'MODIFICATION', 'Examen ' || NEW.ID_EXAMEN);
END^

CREATE TRIGGER TRIG_BEFOREIU_TMPEXAMEN FOR TMPEXAMEN ACTIVE BEFORE INSERT OR UPDATE POSITION 0 AS
BEGIN
  IF (NEW.PREFIXE IS NULL) THEN
    NEW.PREFIXE = (SELECT VALEUR FROM PARAM WHERE ID_PARAM = 'Pr' || ASCII_CHAR(233) || 'fixe Global');
END^

CREATE TRIGGER TRIG_BEFORE_ACCES_LOG FOR LOG ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_LOG IS NULL) THEN NEW.ID_LOG = GEN_ID(GEN_ID_LOG, 1);
  IF (NEW.ACCES IS NULL) THEN NEW.ACCES = CURRENT_TIMESTAMP;
END^

CREATE TRIGGER TRIG_BEFOREI_TRACELOG FOR TRACELOG ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID_TRACELOG IS NULL) THEN NEW.ID_TRACELOG = GEN_ID(GEN_ID_TRACELOG, 1);
  IF (NEW.DATEHEURE IS NULL) THEN NEW.DATEHEURE = CURRENT_TIMESTAMP;
END^

SET TERM ; ^

/* Rows last: a table written to in this transaction cannot take new references. */
/* The new system's built-in super user: already there before any migration. */
INSERT INTO SECURITE (ID_SECURITE, UTILISATEUR, NOM, LANGUE, DEPARTEMENT, DESACTIVE)
  VALUES (1, 'PROG', 'Programmeur', 'FR', 'R', 'N');
SET GENERATOR GEN_ID_SECURITE TO 1;
INSERT INTO SECURITE_DICTEE (ID_SECURITE, DICTEETYPE) VALUES (1, NULL);

/* 'Préfixe Global', spelled with ASCII_CHAR so the file reads the same in any encoding. */
INSERT INTO PARAM (ID_PARAM, VALEUR) VALUES ('Pr' || ASCII_CHAR(233) || 'fixe Global', NULL);
INSERT INTO PARAM (ID_PARAM, VALEUR) VALUES ('CodeRegional', NULL);
INSERT INTO PARAM (ID_PARAM, VALEUR) VALUES ('PositionNumTelephone', NULL);

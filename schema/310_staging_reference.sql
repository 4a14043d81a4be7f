/* Staging tables: legacy records copied almost raw, then completed into the reference
   tables and moved into the final tables with set-based statements.
   They take every value: no keys, no foreign keys, NULL everywhere. They are never
   emptied, so the columns that moves walk or join on, and the columns of the
   per-record duplicate checks, are indexed.
   A code that a completion copies uncut into a reference table is no wider than the
   reference column; user and station names are wider, the completion cuts them to 20
   and 50 characters. Legacy dates and times arrive as separate fields: a joined date
   and time is a TIMESTAMP, a date alone a DATE. Money is NUMERIC(18,4). */

/* Visits of the run's date range, with their codes still as legacy text. */
CREATE TABLE TMPVISITE (
  ID_PATIENT    INTEGER,
  PRESCRIPTION  VARCHAR(20),
  LICENCE       VARCHAR(20),
  RENSCLINIQUE  BLOB SUB_TYPE TEXT,
  TYPEFACT      VARCHAR(40),
  CIEPRIVEE     VARCHAR(10),
  ETABLISSEMENT VARCHAR(10),
  DATEACCIDENT  DATE,
  DIAGNOSTIQUE  VARCHAR(10),
  CS            CHAR(1),
  RENSCOMPL1    VARCHAR(255),
  RENSCOMPL2    VARCHAR(255),
  MODIFDH       TIMESTAMP,
  TELECOM       CHAR(1),
  DATEADMISSION DATE,
  EPURATION     CHAR(1),
  DESACTIVE     CHAR(1),
  SECURITE      VARCHAR(30),
  ID_VISITE     INTEGER,
  TELECOPIE     CHAR(1),
  GROUPE        VARCHAR(20),
  DATEEXAMEN    TIMESTAMP,
  CODEDEP       VARCHAR(5),
  ARRIVE        TIMESTAMP
);
CREATE INDEX IX_TMPVISITE_ID_VISITE ON TMPVISITE (ID_VISITE);

/* Referring physicians of the staged visits: new licence and physician id. */
CREATE TABLE TMPVISITE_MED (
  ID_VISITE INTEGER,
  MEDECIN   VARCHAR(20),
  MEDECINID VARCHAR(20),
  REFERANT  CHAR(1)
);
CREATE INDEX IX_TMPVISITE_MED_ID_VISITE ON TMPVISITE_MED (ID_VISITE);

/* The legacy journal, sorted into the access log and the audit trail by its remarks. */
CREATE TABLE TMPLOG (
  ID_LOG   INTEGER,
  ACCES    TIMESTAMP,
  REMARQUE VARCHAR(255),
  POSTE    VARCHAR(100),
  USAGER   VARCHAR(30)
);
CREATE INDEX IX_TMPLOG_ID_LOG ON TMPLOG (ID_LOG);

/* Transfers of results to establishments; a transfer is known by its time and user. */
CREATE TABLE TMPHISTOTRANSFERT (
  FTYPE         VARCHAR(20),
  DATEHEURE     TIMESTAMP,
  OPR           VARCHAR(30),
  ETABLISSEMENT VARCHAR(10),
  COURRIEL      VARCHAR(100)
);
CREATE INDEX IX_TMPHISTOTRANSFERT_CLE ON TMPHISTOTRANSFERT (DATEHEURE, OPR);

/* Billing lots, with the names of the users of each step. */
CREATE TABLE TMPHISTOLOT (
  NUMERO       VARCHAR(20),
  PRODUCTION   DATE,
  POPR         VARCHAR(30),
  TRANSMISSION DATE,
  CONVERSION   DATE,
  COPR         VARCHAR(30),
  CONVREFNO    VARCHAR(20),
  ANNULATION   DATE,
  AOPR         VARCHAR(30),
  TOPR         VARCHAR(30),
  PRODUCOPR    INTEGER,
  CONVOPR      INTEGER,
  ANNULOPR     INTEGER,
  TRANSOPR     INTEGER
);
CREATE INDEX IX_TMPHISTOLOT_NUMERO ON TMPHISTOLOT (NUMERO);

/* Remittance statements, one per statement date. */
CREATE TABLE TMPHISTORELEVE (
  RELEVEDATE DATE,
  RECEPDATE  DATE,
  ROPR       VARCHAR(30),
  IMPRDATE   DATE,
  IOPR       VARCHAR(30)
);
CREATE INDEX IX_TMPHISTORELEVE_RELEVEDATE ON TMPHISTORELEVE (RELEVEDATE);

/* Act codes sent to the mammography interface. */
CREATE TABLE TMPSORVANE (
  ACTE VARCHAR(10)
);
CREATE INDEX IX_TMPSORVANE_ACTE ON TMPSORVANE (ACTE);

/* Legacy acts, spread over the act table and its link tables by the move. */
CREATE TABLE TMPACTE (
  CODE             VARCHAR(10),
  DESCRIPTION      VARCHAR(255),
  ABREGEE          VARCHAR(15),
  EPURATION        VARCHAR(10),
  CALCULNOMBRE     VARCHAR(10),
  PLAFONDROLE1     NUMERIC(18,4),
  PLAFONDROLE7     NUMERIC(18,4),
  MOD              VARCHAR(10),
  AGEMIN           INTEGER,
  AGEMAX           INTEGER,
  NBCHIFFRERAMQ    INTEGER,
  FINPRIVE         DATE,
  ANCIENPRIVE      NUMERIC(18,4),
  DEBUTPRIVE       DATE,
  PRIVE            NUMERIC(18,4),
  MODALITE         VARCHAR(10),
  MODALITE2        VARCHAR(10),
  ACTIVITE         VARCHAR(60),
  UNITE            NUMERIC(15,4),
  REGION           VARCHAR(10),
  ANCIENFINPRIVE   DATE,
  ANCIENDEBUTPRIVE DATE,
  SANSMAJORATION   VARCHAR(10),
  DESACTIVE        CHAR(1)
);
CREATE INDEX IX_TMPACTE_CODE ON TMPACTE (CODE);

/* Referring physicians kept after the licence check. NOINTERNE is numbered here, and
   the move carries it into the physician table. */
CREATE TABLE TMPMEDECIN (
  NOM             VARCHAR(60),
  PRENOM          VARCHAR(60),
  ADRESSE1        VARCHAR(100),
  VILLE           VARCHAR(60),
  PROVINCE        VARCHAR(30),
  POSTAL          VARCHAR(10),
  TELEPHONE       VARCHAR(20),
  TELECOPIEUR     VARCHAR(20),
  COURRIEL        VARCHAR(100),
  SPECIALITE      VARCHAR(10),
  LOCALID         VARCHAR(20),
  CONSIDERERFAXOK CHAR(1),
  CLINIQUE        VARCHAR(60),
  LANGUE          CHAR(2),
  POSTETEL1       VARCHAR(10),
  OMBRIX          CHAR(1),
  LICENCE         VARCHAR(20),
  VIEILLE_LICENCE VARCHAR(20),
  MEDECINID       VARCHAR(20),
  DESACTIVE       CHAR(1),
  FICHEMEDECIN    CHAR(1),
  TELVANO         CHAR(1),
  ADRESSE2        VARCHAR(200),
  NOINTERNE       INTEGER
);
CREATE INDEX IX_TMPMEDECIN_LICENCE ON TMPMEDECIN (LICENCE, MEDECINID);
CREATE INDEX IX_TMPMEDECIN_NOINTERNE ON TMPMEDECIN (NOINTERNE);
CREATE GENERATOR GEN_NOINTERNE_MEDECIN;

/* Negotiated price of an act per private insurer. */
CREATE TABLE TMPCIEPRIVEE_ACTE (
  CIE_PRIVEE VARCHAR(10),
  ACTE       VARCHAR(10),
  MONTANT    NUMERIC(18,4)
);
CREATE INDEX IX_TMPCIEPRIVEE_ACTE_CLE ON TMPCIEPRIVEE_ACTE (CIE_PRIVEE, ACTE);

/* Private billing reports, with the names of the users who produced and cancelled them. */
CREATE TABLE TMPRAPPORTPRIVEE (
  NUMERO         VARCHAR(20),
  DATEHEUREPROD  TIMESTAMP,
  DATEHEUREANNUL TIMESTAMP,
  NBEXAMEN       INTEGER,
  TOTAL          NUMERIC(18,4),
  USAGERA        VARCHAR(30),
  USAGERB        VARCHAR(30)
);
CREATE INDEX IX_TMPRAPPORTPRIVEE_NUMERO ON TMPRAPPORTPRIVEE (NUMERO);

/* Internal messages: the sent message, then one received copy and one recipient row
   per recipient, both carrying the number of the sent message. ID_MESSAGEENVOYE of a
   sent message is that number, as the message routine assigns it. */
CREATE TABLE TMPMESSAGEENVOYE (
  ID_MESSAGEENVOYE INTEGER,
  SECURITE         VARCHAR(30),
  DATEHEURE        TIMESTAMP,
  MESSAGEENVOYE    BLOB SUB_TYPE TEXT,
  OBJET            VARCHAR(255)
);
CREATE INDEX IX_TMPMESSAGEENVOYE_ID ON TMPMESSAGEENVOYE (ID_MESSAGEENVOYE);

CREATE TABLE TMPMESSAGERECU (
  SECURITEDE       VARCHAR(30),
  SECURITEA        VARCHAR(30),
  DATEHEURE        TIMESTAMP,
  MESSAGERECU      BLOB SUB_TYPE TEXT,
  OBJET            VARCHAR(255),
  ID_MESSAGEENVOYE INTEGER
);
CREATE INDEX IX_TMPMESSAGERECU_ID ON TMPMESSAGERECU (ID_MESSAGEENVOYE);

CREATE TABLE TMPMESSAGEENVDESTINATAIRE (
  ID_MESSAGEENVOYE INTEGER,
  SECURITE         VARCHAR(30)
);
CREATE INDEX IX_TMPMESSAGEENVDEST_ID ON TMPMESSAGEENVDESTINATAIRE (ID_MESSAGEENVOYE);

/* Radiologists' codes at the hospital, under the legacy licence and group (a blank group
   is the empty text, as in the radiologist table). The billing flag stays here. */
CREATE TABLE TMPHL7RADIOL (
  CODE          VARCHAR(20),
  LICENCE       VARCHAR(20),
  GROUPE        VARCHAR(20),
  FACTURATION   CHAR(1),
  ETABLISSEMENT VARCHAR(10)
);
CREATE INDEX IX_TMPHL7RADIOL_CODE ON TMPHL7RADIOL (CODE);

/* RAMQ form 1606 and its lines. A form without radiologist is staged under the
   placeholder licence and group. */
CREATE TABLE TMPR1606 (
  DATEDEBUT      DATE,
  DATEFIN        DATE,
  NBRTOTAL       INTEGER,
  GRANDTOTAL     NUMERIC(18,4),
  NODEMANDE      VARCHAR(20),
  ETABLISSEMENT  VARCHAR(10),
  CS             CHAR(1),
  DATEETATCOMPTE DATE,
  ID_R1606       INTEGER,
  LICENCE        VARCHAR(20),
  GROUPE         VARCHAR(20)
);
CREATE INDEX IX_TMPR1606_ID_R1606 ON TMPR1606 (ID_R1606);

CREATE TABLE TMPR1606B (
  ID_R1606  INTEGER,
  ACTE      VARCHAR(10),
  MOD       VARCHAR(10),
  NOMBRE    INTEGER,
  TARIF     NUMERIC(18,4),
  TOTAL     NUMERIC(18,4),
  ID_R1606B INTEGER
);
CREATE INDEX IX_TMPR1606B_ID_R1606B ON TMPR1606B (ID_R1606B);
CREATE INDEX IX_TMPR1606B_ID_R1606 ON TMPR1606B (ID_R1606);

/* Payments from the provincial insurer, moved in blocks of payment numbers. */
CREATE TABLE TMPPAIEMENT (
  ECDATE          DATE,
  LOT             VARCHAR(20),
  NCE             VARCHAR(20),
  PAYE            NUMERIC(18,4),
  TRANSAC         VARCHAR(10),
  MESSAGEPAIEMENT VARCHAR(255),
  RECDATE         DATE,
  CHEQUE          VARCHAR(20),
  ID_PAIEMENT     INTEGER,
  LICENCE         VARCHAR(20),
  GROUPE          VARCHAR(20)
);
CREATE INDEX IX_TMPPAIEMENT_ID_PAIEMENT ON TMPPAIEMENT (ID_PAIEMENT);

SET TERM ^ ;

CREATE TRIGGER TRIG_BEFOREI_TMPMEDECIN FOR TMPMEDECIN ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.NOINTERNE IS NULL) THEN NEW.NOINTERNE = GEN_ID(GEN_NOINTERNE_MEDECIN, 1);
END^

SET TERM ; ^

/* Roles the program connects with. */
CREATE ROLE role_administrateur;
